/* Runs a filter module inside nginx: the request head before the location
 * is chosen, the response head and body from a header and a body filter.
 * The filter itself is reached through vantomer_bridge.h. */

#include <ngx_config.h>
#include <ngx_core.h>
#include <ngx_http.h>

#include "vantomer_bridge.h"

#define VTM_OFF NGX_CONF_UNSET_UINT - 1

typedef struct {
    ngx_array_t paths; /* ngx_str_t: each distinct module once */
} ngx_http_vantomer_main_conf_t;

typedef struct {
    ngx_uint_t index; /* into paths; VTM_OFF or unset */
} ngx_http_vantomer_srv_conf_t;

enum { VTM_NONE, VTM_PASS, VTM_HELD, VTM_DONE };

/* One per client connection (per stream with HTTP/2), in its pool. */
typedef struct {
    vtm_conn *conn;
    ngx_uint_t index;
    ngx_http_request_t *current; /* the request the filter sees now */
    ngx_uint_t mode;
    unsigned raw_data:1;
    unsigned ended:1;      /* END_OF_REQUEST went out */
    /* The last Last-Modified written: a connection mostly asks again for
     * what it had, and formatting a date is dear. */
    time_t modified;
    size_t modified_len;
    u_char modified_text[sizeof("Mon, 28 Sep 1970 06:00:00 GMT")];
} ngx_http_vantomer_conn_t;

static ngx_int_t ngx_http_vantomer_init(ngx_conf_t *cf);
static void *ngx_http_vantomer_create_main_conf(ngx_conf_t *cf);
static void *ngx_http_vantomer_create_srv_conf(ngx_conf_t *cf);
static char *ngx_http_vantomer_merge_srv_conf(ngx_conf_t *cf, void *parent, void *child);
static char *ngx_http_vantomer_filter(ngx_conf_t *cf, ngx_command_t *cmd, void *conf);
static ngx_int_t ngx_http_vantomer_init_process(ngx_cycle_t *cycle);
static void ngx_http_vantomer_exit_process(ngx_cycle_t *cycle);

static ngx_command_t ngx_http_vantomer_commands[] = {
    { ngx_string("vantomer_filter"),
      NGX_HTTP_MAIN_CONF|NGX_HTTP_SRV_CONF|NGX_CONF_TAKE1,
      ngx_http_vantomer_filter,
      NGX_HTTP_SRV_CONF_OFFSET,
      0,
      NULL },
    ngx_null_command
};

static ngx_http_module_t ngx_http_vantomer_module_ctx = {
    NULL,                                /* preconfiguration */
    ngx_http_vantomer_init,              /* postconfiguration */
    ngx_http_vantomer_create_main_conf,  /* create main configuration */
    NULL,                                /* init main configuration */
    ngx_http_vantomer_create_srv_conf,   /* create server configuration */
    ngx_http_vantomer_merge_srv_conf,    /* merge server configuration */
    NULL,                                /* create location configuration */
    NULL                                 /* merge location configuration */
};

ngx_module_t ngx_http_vantomer_module = {
    NGX_MODULE_V1,
    &ngx_http_vantomer_module_ctx,
    ngx_http_vantomer_commands,
    NGX_HTTP_MODULE,
    NULL,                                /* init master */
    NULL,                                /* init module */
    ngx_http_vantomer_init_process,      /* init process */
    NULL,                                /* init thread */
    NULL,                                /* exit thread */
    ngx_http_vantomer_exit_process,      /* exit process */
    NULL,                                /* exit master */
    NGX_MODULE_V1_PADDING
};

static ngx_http_output_header_filter_pt ngx_http_next_header_filter;
static ngx_http_output_body_filter_pt ngx_http_next_body_filter;

/* The modules this worker loaded, by index into the main conf's paths. */
static vtm_module **ngx_http_vantomer_modules;
static ngx_uint_t ngx_http_vantomer_nmodules;

static void *
ngx_http_vantomer_create_main_conf(ngx_conf_t *cf)
{
    ngx_http_vantomer_main_conf_t *mcf;

    mcf = ngx_pcalloc(cf->pool, sizeof(ngx_http_vantomer_main_conf_t));
    if (mcf == NULL) {
        return NULL;
    }
    if (ngx_array_init(&mcf->paths, cf->pool, 1, sizeof(ngx_str_t)) != NGX_OK) {
        return NULL;
    }
    return mcf;
}

static void *
ngx_http_vantomer_create_srv_conf(ngx_conf_t *cf)
{
    ngx_http_vantomer_srv_conf_t *scf;

    scf = ngx_pcalloc(cf->pool, sizeof(ngx_http_vantomer_srv_conf_t));
    if (scf == NULL) {
        return NULL;
    }
    scf->index = NGX_CONF_UNSET_UINT;
    return scf;
}

static char *
ngx_http_vantomer_merge_srv_conf(ngx_conf_t *cf, void *parent, void *child)
{
    ngx_http_vantomer_srv_conf_t *prev = parent;
    ngx_http_vantomer_srv_conf_t *conf = child;

    ngx_conf_merge_uint_value(conf->index, prev->index, VTM_OFF);
    return NGX_CONF_OK;
}

static char *
ngx_http_vantomer_filter(ngx_conf_t *cf, ngx_command_t *cmd, void *conf)
{
    ngx_http_vantomer_srv_conf_t *scf = conf;
    ngx_http_vantomer_main_conf_t *mcf;
    ngx_str_t *value, *path;
    ngx_uint_t i;
    char error[512];

    if (scf->index != NGX_CONF_UNSET_UINT) {
        return "is duplicate";
    }
    value = cf->args->elts;
    if (ngx_strcmp(value[1].data, "off") == 0) {
        if (cf->cmd_type == NGX_HTTP_MAIN_CONF) {
            return "\"off\" is for a server block";
        }
        scf->index = VTM_OFF;
        return NGX_CONF_OK;
    }
    if (ngx_conf_full_name(cf->cycle, &value[1], 0) != NGX_OK) {
        return NGX_CONF_ERROR;
    }

    mcf = ngx_http_conf_get_module_main_conf(cf, ngx_http_vantomer_module);
    path = mcf->paths.elts;
    for (i = 0; i < mcf->paths.nelts; i++) {
        if (path[i].len == value[1].len
            && ngx_strncmp(path[i].data, value[1].data, value[1].len) == 0)
        {
            scf->index = i;
            return NGX_CONF_OK;
        }
    }

    /* Each worker loads the module; trying it here too makes nginx -t and
     * the start fail with the reason. */
    if (!vtm_module_check((char *) value[1].data, error, sizeof(error))) {
        ngx_conf_log_error(NGX_LOG_EMERG, cf, 0, "vantomer_filter \"%V\": %s",
                           &value[1], error);
        return NGX_CONF_ERROR;
    }
    path = ngx_array_push(&mcf->paths);
    if (path == NULL) {
        return NGX_CONF_ERROR;
    }
    *path = value[1];
    scf->index = mcf->paths.nelts - 1;
    return NGX_CONF_OK;
}

static ngx_int_t
ngx_http_vantomer_init_process(ngx_cycle_t *cycle)
{
    ngx_http_vantomer_main_conf_t *mcf;
    ngx_str_t *path;
    ngx_uint_t i;
    char error[512];

    if (ngx_process != NGX_PROCESS_WORKER && ngx_process != NGX_PROCESS_SINGLE) {
        return NGX_OK;
    }
    mcf = ngx_http_cycle_get_module_main_conf(cycle, ngx_http_vantomer_module);
    if (mcf == NULL || mcf->paths.nelts == 0) {
        return NGX_OK;
    }
    ngx_http_vantomer_modules = ngx_pcalloc(cycle->pool,
                                            mcf->paths.nelts * sizeof(vtm_module *));
    if (ngx_http_vantomer_modules == NULL) {
        return NGX_ERROR;
    }
    path = mcf->paths.elts;
    for (i = 0; i < mcf->paths.nelts; i++) {
        ngx_http_vantomer_modules[i] = vtm_module_load((char *) path[i].data, error,
                                                       sizeof(error));
        if (ngx_http_vantomer_modules[i] == NULL) {
            ngx_log_error(NGX_LOG_EMERG, cycle->log, 0, "vantomer_filter \"%V\": %s",
                          &path[i], error);
            ngx_http_vantomer_exit_process(cycle);
            return NGX_ERROR;
        }
        ngx_http_vantomer_nmodules = i + 1;
    }
    return NGX_OK;
}

static void
ngx_http_vantomer_exit_process(ngx_cycle_t *cycle)
{
    ngx_uint_t i;

    for (i = 0; i < ngx_http_vantomer_nmodules; i++) {
        vtm_module_unload(ngx_http_vantomer_modules[i]);
        ngx_http_vantomer_modules[i] = NULL;
    }
    ngx_http_vantomer_nmodules = 0;
}

static void
ngx_http_vantomer_conn_cleanup(void *data)
{
    ngx_http_vantomer_conn_t *vc = data;

    vtm_conn_destroy(vc->conn);
    vc->conn = NULL;
}

/* The connection's slot, found among its pool's cleanups. */
static ngx_http_vantomer_conn_t *
ngx_http_vantomer_find_conn(ngx_connection_t *c)
{
    ngx_pool_cleanup_t *cln;

    for (cln = c->pool->cleanup; cln; cln = cln->next) {
        if (cln->handler == ngx_http_vantomer_conn_cleanup) {
            return cln->data;
        }
    }
    return NULL;
}

static char *
ngx_http_vantomer_cstr(ngx_pool_t *pool, ngx_str_t *s)
{
    char *p = ngx_pnalloc(pool, s->len + 1);

    if (p != NULL) {
        ngx_memcpy(p, s->data, s->len);
        p[s->len] = '\0';
    }
    return p;
}

static ngx_http_vantomer_conn_t *
ngx_http_vantomer_get_conn(ngx_http_request_t *r, ngx_uint_t index)
{
    ngx_connection_t *c = r->connection;
    ngx_http_vantomer_conn_t *vc;
    ngx_pool_cleanup_t *cln;
    vtm_conn_info info;
    ngx_str_t local;
    u_char addr[NGX_SOCKADDR_STRLEN];

    vc = ngx_http_vantomer_find_conn(c);
    if (vc != NULL) {
        return vc->index == index ? vc : NULL;
    }
    cln = ngx_pool_cleanup_add(c->pool, sizeof(ngx_http_vantomer_conn_t));
    if (cln == NULL) {
        return NULL;
    }
    vc = cln->data;
    ngx_memzero(vc, sizeof(ngx_http_vantomer_conn_t));
    vc->index = index;

    local.data = addr;
    local.len = NGX_SOCKADDR_STRLEN;
    if (ngx_connection_local_sockaddr(c, &local, 0) != NGX_OK) {
        local.len = 0;
    }
    ngx_memzero(&info, sizeof(info));
#if (NGX_HTTP_SSL)
    info.secure = c->ssl != NULL;
#endif
    info.local_addr = ngx_http_vantomer_cstr(c->pool, &local);
    info.local_port = c->local_sockaddr ? ngx_inet_get_port(c->local_sockaddr) : 0;
    info.remote_addr = ngx_http_vantomer_cstr(c->pool, &c->addr_text);
    info.remote_port = ngx_inet_get_port(c->sockaddr);
    info.server_software = NGINX_VER;
    if (info.local_addr == NULL || info.remote_addr == NULL) {
        return NULL;
    }
    vc->conn = vtm_conn_create(ngx_http_vantomer_modules[index], &info);
    if (vc->conn == NULL) {
        return NULL;
    }
    vc->raw_data = vtm_module_wants_raw_data(ngx_http_vantomer_modules[index], info.secure);
    cln->handler = ngx_http_vantomer_conn_cleanup;
    return vc;
}

/* Any name the binding does not know is read as an nginx variable. */
static int
ngx_http_vantomer_variable(void *data, const char *name, size_t name_len,
    const char **value, size_t *value_len)
{
    ngx_http_request_t *r = data;
    ngx_http_variable_value_t *vv;
    ngx_str_t lower;
    ngx_uint_t key;

    if (name_len == 0) {
        return 0;
    }
    lower.len = name_len;
    lower.data = ngx_pnalloc(r->pool, name_len);
    if (lower.data == NULL) {
        return 0;
    }
    key = ngx_hash_strlow(lower.data, (u_char *) name, name_len);
    vv = ngx_http_get_variable(r, &lower, key);
    if (vv == NULL || vv->not_found) {
        return 0;
    }
    *value = (const char *) vv->data;
    *value_len = vv->len;
    return 1;
}

static void
ngx_http_vantomer_request_cleanup(void *data)
{
    ngx_http_request_t *r = data;
    ngx_http_vantomer_conn_t *vc;

    vc = ngx_http_vantomer_find_conn(r->connection);
    if (vc == NULL || vc->current != r || vc->conn == NULL) {
        return;
    }
    vtm_request_end(vc->conn, !vc->ended);
    vc->current = NULL;
    vc->mode = VTM_NONE;
}

/* A buffer of the pool holding a copy of the bytes; an empty one for none. */
static ngx_buf_t *
vtm_copy_buf(ngx_pool_t *pool, const void *bytes, size_t len)
{
    ngx_buf_t *b = ngx_calloc_buf(pool);
    if (b == NULL || len == 0) {
        return b;
    }
    b->start = ngx_pnalloc(pool, len);
    if (b->start == NULL) {
        return NULL;
    }
    ngx_memcpy(b->start, bytes, len);
    b->pos = b->start;
    b->last = b->end = b->start + len;
    b->memory = 1;
    return b;
}

static ngx_int_t
ngx_http_vantomer_emit(ngx_http_request_t *r, ngx_http_vantomer_conn_t *vc);

/* Puts the filter's changes to the request into nginx's request: the URL
 * before the location is chosen, headers where the upstream and the
 * $http_ variables read them. */
static ngx_int_t
ngx_http_vantomer_apply_request(ngx_http_request_t *r, ngx_http_vantomer_conn_t *vc)
{
    ngx_http_core_main_conf_t *cmcf;
    ngx_http_header_t *hh;
    ngx_table_elt_t *h, **ph;
    const char *name, *value, *url;
    size_t name_len, value_len, url_len, i, n;
    u_char *p, *q, *dst;

    if (vtm_request_url(vc->conn, &url, &url_len)) {
        p = ngx_pnalloc(r->pool, url_len);
        if (p == NULL) {
            return NGX_ERROR;
        }
        ngx_memcpy(p, url, url_len);
        q = ngx_strlchr(p, p + url_len, '?');
        r->unparsed_uri.data = p;
        r->unparsed_uri.len = url_len;
        r->args.len = 0;
        r->args.data = NULL;
        if (q != NULL) {
            r->args.data = q + 1;
            r->args.len = p + url_len - q - 1;
        }
        dst = ngx_pnalloc(r->pool, (q ? (size_t) (q - p) : url_len) + 1);
        if (dst == NULL) {
            return NGX_ERROR;
        }
        r->uri.data = dst;
        ngx_unescape_uri(&dst, &p, q ? (size_t) (q - r->unparsed_uri.data) : url_len,
                         NGX_UNESCAPE_URI);
        r->uri.len = dst - r->uri.data;
        r->valid_unparsed_uri = 0;
        r->exten.len = 0;
        r->exten.data = NULL;
        for (i = r->uri.len; i > 0; i--) {
            if (r->uri.data[i - 1] == '.') {
                r->exten.data = &r->uri.data[i];
                r->exten.len = r->uri.len - i;
                break;
            }
            if (r->uri.data[i - 1] == '/') {
                break;
            }
        }
    }

    if (!vtm_request_headers_changed(vc->conn)) {
        return NGX_OK;
    }

    /* The list is built anew; the fields nginx keeps pointers to are
     * pointed at the new entries. */
    n = vtm_request_header_count(vc->conn);
    if (ngx_list_init(&r->headers_in.headers, r->pool, n ? n : 1, sizeof(ngx_table_elt_t))
        != NGX_OK)
    {
        return NGX_ERROR;
    }
    r->headers_in.user_agent = NULL;
    r->headers_in.cookies.nelts = 0;
    if (r->headers_in.cookies.nalloc == 0
        && ngx_array_init(&r->headers_in.cookies, r->pool, 2, sizeof(ngx_table_elt_t *))
           != NGX_OK)
    {
        return NGX_ERROR;
    }
    r->headers_in.referer = NULL;
    r->headers_in.accept_encoding = NULL;
    cmcf = ngx_http_get_module_main_conf(r, ngx_http_core_module);
    for (i = 0; i < n; i++) {
        vtm_request_header_at(vc->conn, i, &name, &name_len, &value, &value_len);
        h = ngx_list_push(&r->headers_in.headers);
        if (h == NULL) {
            return NGX_ERROR;
        }
        h->key.len = name_len;
        h->key.data = ngx_pnalloc(r->pool, name_len + 1);
        h->value.len = value_len;
        h->value.data = ngx_pnalloc(r->pool, value_len + 1);
        h->lowcase_key = ngx_pnalloc(r->pool, name_len + 1);
        if (h->key.data == NULL || h->value.data == NULL || h->lowcase_key == NULL) {
            return NGX_ERROR;
        }
        ngx_memcpy(h->key.data, name, name_len);
        h->key.data[name_len] = '\0';
        ngx_memcpy(h->value.data, value, value_len);
        h->value.data[value_len] = '\0';
        h->hash = ngx_hash_strlow(h->lowcase_key, h->key.data, name_len);
        h->lowcase_key[name_len] = '\0';

        hh = ngx_hash_find(&cmcf->headers_in_hash, h->hash, h->lowcase_key, name_len);
        if (hh == NULL || hh->offset == 0) {
            continue;
        }
        if (name_len == 6 && ngx_strncmp(h->lowcase_key, "cookie", 6) == 0) {
            ph = ngx_array_push(&r->headers_in.cookies);
            if (ph == NULL) {
                return NGX_ERROR;
            }
            *ph = h;
            continue;
        }
        ph = (ngx_table_elt_t **) ((char *) &r->headers_in + hh->offset);
        if (name_len == 10 && ngx_strncmp(h->lowcase_key, "user-agent", 10) == 0) {
            *ph = h;  /* the filter's word is the last one */
        } else if (name_len == 4 && ngx_strncmp(h->lowcase_key, "host", 4) == 0) {
            continue;  /* the server is chosen already */
        } else {
            *ph = h;
        }
    }
    return NGX_OK;
}

static ngx_int_t
ngx_http_vantomer_request_handler(ngx_http_request_t *r)
{
    ngx_http_vantomer_srv_conf_t *scf;
    ngx_http_vantomer_conn_t *vc;
    ngx_pool_cleanup_t *cln;
    ngx_list_part_t *part;
    ngx_table_elt_t *h;
    ngx_str_t url;
    ngx_uint_t i;
    ngx_int_t rc;

    if (r != r->main || r->internal) {
        return NGX_DECLINED;
    }
    scf = ngx_http_get_module_srv_conf(r, ngx_http_vantomer_module);
    if (scf->index == VTM_OFF || scf->index >= ngx_http_vantomer_nmodules) {
        return NGX_DECLINED;
    }
    vc = ngx_http_vantomer_find_conn(r->connection);
    if (vc != NULL && vc->current == r) {
        return NGX_DECLINED;  /* seen already */
    }
    vc = ngx_http_vantomer_get_conn(r, scf->index);
    if (vc == NULL) {
        return NGX_HTTP_INTERNAL_SERVER_ERROR;
    }
    cln = ngx_pool_cleanup_add(r->pool, 0);
    if (cln == NULL) {
        return NGX_HTTP_INTERNAL_SERVER_ERROR;
    }

    url = r->unparsed_uri;
    vtm_request_begin(vc->conn, (char *) r->method_name.data, r->method_name.len,
                      (char *) url.data, url.len, (char *) r->http_protocol.data,
                      r->http_protocol.len ? r->http_protocol.len : 0,
                      ngx_http_vantomer_variable, r);
    vc->current = r;
    vc->mode = VTM_NONE;
    vc->ended = 0;
    cln->handler = ngx_http_vantomer_request_cleanup;
    cln->data = r;

    part = &r->headers_in.headers.part;
    h = part->elts;
    for (i = 0; /* void */; i++) {
        if (i >= part->nelts) {
            if (part->next == NULL) {
                break;
            }
            part = part->next;
            h = part->elts;
            i = 0;
        }
        vtm_request_header(vc->conn, (char *) h[i].key.data, h[i].key.len,
                           (char *) h[i].value.data, h[i].value.len);
    }

    if (vtm_preproc_headers(vc->conn)) {
        /* The filter answered the request itself. */
        vtm_end_of_request(vc->conn);
        rc = ngx_http_vantomer_emit(r, vc);
        ngx_http_finalize_request(r, rc);
        return NGX_DONE;
    }
    if (ngx_http_vantomer_apply_request(r, vc) != NGX_OK) {
        return NGX_HTTP_INTERNAL_SERVER_ERROR;
    }
    return NGX_DECLINED;
}

static ngx_int_t
ngx_http_vantomer_add(ngx_http_vantomer_conn_t *vc, const char *name, ngx_str_t *value)
{
    vtm_response_header(vc->conn, name, ngx_strlen(name), (char *) value->data, value->len);
    return NGX_OK;
}

/* The response head as the raw bytes a client would receive. */
static void
ngx_http_vantomer_describe_head(ngx_http_request_t *r, ngx_http_vantomer_conn_t *vc)
{
    ngx_list_part_t *part;
    ngx_table_elt_t *h;
    ngx_uint_t i;
    ngx_str_t v, reason;
    u_char buf[NGX_OFF_T_LEN];
    u_char *p;

    reason.len = 0;
    reason.data = NULL;
    if (r->headers_out.status_line.len > 4) {
        reason.data = r->headers_out.status_line.data + 4;
        reason.len = r->headers_out.status_line.len - 4;
    } else if (r->headers_out.status == NGX_HTTP_OK) {
        ngx_str_set(&reason, "OK");
    }
    vtm_response_begin(vc->conn, r->headers_out.status, (char *) reason.data, reason.len);

    if (r->headers_out.content_type.len) {
        if (r->headers_out.charset.len) {
            v.len = r->headers_out.content_type.len + sizeof("; charset=") - 1
                    + r->headers_out.charset.len;
            v.data = ngx_pnalloc(r->pool, v.len);
            if (v.data != NULL) {
                p = ngx_cpymem(v.data, r->headers_out.content_type.data,
                               r->headers_out.content_type.len);
                p = ngx_cpymem(p, "; charset=", sizeof("; charset=") - 1);
                ngx_memcpy(p, r->headers_out.charset.data, r->headers_out.charset.len);
                ngx_http_vantomer_add(vc, "Content-Type", &v);
            }
        } else {
            ngx_http_vantomer_add(vc, "Content-Type", &r->headers_out.content_type);
        }
    }
    if (r->headers_out.content_length_n >= 0) {
        v.data = buf;
        v.len = ngx_sprintf(buf, "%O", r->headers_out.content_length_n) - buf;
        ngx_http_vantomer_add(vc, "Content-Length", &v);
    }
    if (r->headers_out.last_modified_time != -1) {
        if (vc->modified_len == 0 || vc->modified != r->headers_out.last_modified_time) {
            vc->modified = r->headers_out.last_modified_time;
            vc->modified_len = ngx_http_time(vc->modified_text, vc->modified) - vc->modified_text;
        }
        v.data = vc->modified_text;
        v.len = vc->modified_len;
        ngx_http_vantomer_add(vc, "Last-Modified", &v);
    }

    part = &r->headers_out.headers.part;
    h = part->elts;
    for (i = 0; /* void */; i++) {
        if (i >= part->nelts) {
            if (part->next == NULL) {
                break;
            }
            part = part->next;
            h = part->elts;
            i = 0;
        }
        if (h[i].hash == 0 || &h[i] == r->headers_out.content_length
            || &h[i] == r->headers_out.last_modified)
        {
            continue;
        }
        vtm_response_header(vc->conn, (char *) h[i].key.data, h[i].key.len,
                            (char *) h[i].value.data, h[i].value.len);
    }
}

static ngx_int_t
ngx_http_vantomer_push(ngx_http_request_t *r, const char *name, size_t name_len,
    const char *value, size_t value_len, ngx_table_elt_t **h)
{
    *h = ngx_list_push(&r->headers_out.headers);
    if (*h == NULL) {
        return NGX_ERROR;
    }
    (*h)->hash = 1;
    (*h)->key.len = name_len;
    (*h)->key.data = ngx_pnalloc(r->pool, name_len);
    (*h)->value.len = value_len;
    (*h)->value.data = ngx_pnalloc(r->pool, value_len + 1);
    if ((*h)->key.data == NULL || (*h)->value.data == NULL) {
        return NGX_ERROR;
    }
    ngx_memcpy((*h)->key.data, name, name_len);
    ngx_memcpy((*h)->value.data, value, value_len);
    (*h)->value.data[value_len] = '\0';
    return NGX_OK;
}

#define vtm_is(name, len, literal)                                             \
    ((len) == sizeof(literal) - 1                                            \
     && ngx_strncasecmp((u_char *) (name), (u_char *) literal, len) == 0)

/* Sends what the filter wrote: its head becomes nginx's response head, so
 * that nginx frames the body (length or chunks, HTTP/2, keep-alive). */
static ngx_int_t
ngx_http_vantomer_emit(ngx_http_request_t *r, ngx_http_vantomer_conn_t *vc)
{
    const char *name, *value, *body;
    size_t name_len, value_len, body_len, i, n;
    unsigned status;
    off_t length;
    ngx_table_elt_t *h;
    ngx_buf_t *b;
    ngx_chain_t out;
    ngx_int_t rc;

    vc->mode = VTM_DONE;
    vc->ended = 1;

    if (ngx_list_init(&r->headers_out.headers, r->pool, 8, sizeof(ngx_table_elt_t))
        != NGX_OK)
    {
        return NGX_ERROR;
    }
    r->headers_out.status_line.len = 0;
    r->headers_out.content_type.len = 0;
    r->headers_out.content_type_len = 0;
    r->headers_out.content_type_lowcase = NULL;
    r->headers_out.charset.len = 0;
    r->headers_out.content_length = NULL;
    r->headers_out.content_length_n = -1;
    r->headers_out.content_encoding = NULL;
    r->headers_out.last_modified = NULL;
    r->headers_out.last_modified_time = -1;
    r->headers_out.location = NULL;
    r->headers_out.refresh = NULL;
    r->headers_out.etag = NULL;
    r->headers_out.expires = NULL;
    r->headers_out.accept_ranges = NULL;
    r->headers_out.www_authenticate = NULL;
    r->headers_out.server = NULL;
    r->headers_out.date = NULL;
    r->headers_out.cache_control.nelts = 0;
    r->headers_out.link.nelts = 0;
    r->allow_ranges = 0;

    if (!vtm_output_parse(vc->conn, &status, &body, &body_len)) {
        /* Nothing the client could read: tell it so. */
        vtm_output_clear(vc->conn);
        r->headers_out.status = NGX_HTTP_BAD_GATEWAY;
        r->headers_out.content_length_n = 0;
        r->header_only = 1;
        return ngx_http_next_header_filter(r);
    }
    r->headers_out.status = status;
    length = -1;
    n = vtm_output_header_count(vc->conn);
    for (i = 0; i < n; i++) {
        vtm_output_header_at(vc->conn, i, &name, &name_len, &value, &value_len);
        if (vtm_is(name, name_len, "Connection") || vtm_is(name, name_len, "Keep-Alive")
            || vtm_is(name, name_len, "Transfer-Encoding"))
        {
            continue;
        }
        if (vtm_is(name, name_len, "Content-Length")) {
            length = ngx_atoof((u_char *) value, value_len);
            continue;
        }
        if (vtm_is(name, name_len, "Content-Type")) {
            r->headers_out.content_type.data = ngx_pnalloc(r->pool, value_len);
            if (r->headers_out.content_type.data == NULL) {
                return NGX_ERROR;
            }
            ngx_memcpy(r->headers_out.content_type.data, value, value_len);
            r->headers_out.content_type.len = value_len;
            r->headers_out.content_type_len = value_len;
            continue;
        }
        if (ngx_http_vantomer_push(r, name, name_len, value, value_len, &h) != NGX_OK) {
            return NGX_ERROR;
        }
        /* nginx adds neither of its own when the filter gave one. */
        if (vtm_is(name, name_len, "Server")) {
            r->headers_out.server = h;
        } else if (vtm_is(name, name_len, "Date")) {
            r->headers_out.date = h;
        }
    }
    if (length >= 0 && (size_t) length < body_len) {
        body_len = (size_t) length;
    }
    r->headers_out.content_length_n = (r->header_only && length >= 0) ? length : (off_t) body_len;

    rc = ngx_http_next_header_filter(r);
    if (rc == NGX_ERROR || rc > NGX_OK || r->header_only) {
        return rc;
    }
    b = vtm_copy_buf(r->pool, body, body_len);
    if (b == NULL) {
        return NGX_ERROR;
    }
    vtm_output_clear(vc->conn);
    b->last_buf = 1;
    b->last_in_chain = 1;
    out.buf = b;
    out.next = NULL;
    return ngx_http_next_body_filter(r, &out);
}

static ngx_http_vantomer_conn_t *
ngx_http_vantomer_current(ngx_http_request_t *r)
{
    ngx_http_vantomer_conn_t *vc;

    if (r != r->main || ngx_http_vantomer_nmodules == 0) {
        return NULL;
    }
    vc = ngx_http_vantomer_find_conn(r->connection);
    if (vc == NULL || vc->current != r || vc->conn == NULL) {
        return NULL;
    }
    return vc;
}

static ngx_int_t
ngx_http_vantomer_header_filter(ngx_http_request_t *r)
{
    ngx_http_vantomer_conn_t *vc;

    vc = ngx_http_vantomer_current(r);
    if (vc == NULL || vc->mode != VTM_NONE) {
        return ngx_http_next_header_filter(r);
    }
    ngx_http_vantomer_describe_head(r, vc);
    switch (vtm_send_response(vc->conn)) {
    case VTM_HEAD_UNTOUCHED:
        vc->mode = VTM_PASS;
        return ngx_http_next_header_filter(r);
    case VTM_HEAD_TAKEN:
        vc->mode = VTM_HELD;
        r->filter_need_in_memory = 1;
        if (!r->header_only) {
            return NGX_OK;  /* the body decides, at its end */
        }
        break;
    default:
        break;
    }
    vtm_end_of_request(vc->conn);
    return ngx_http_vantomer_emit(r, vc);
}

/* A block of a held body: file parts are read, since the filter needs bytes. */
static ngx_int_t
ngx_http_vantomer_feed(ngx_http_request_t *r, ngx_http_vantomer_conn_t *vc, ngx_buf_t *b)
{
    u_char *data;
    ssize_t n;
    off_t size;

    if (!b->in_file || ngx_buf_in_memory(b)) {
        if (b->last > b->pos) {
            vtm_raw_data(vc->conn, (char *) b->pos, b->last - b->pos);
        }
        b->pos = b->last;
        if (b->in_file) {
            b->file_pos = b->file_last;
        }
        return NGX_OK;
    }
    size = b->file_last - b->file_pos;
    while (size > 0) {
        n = size > 65536 ? 65536 : size;
        data = ngx_palloc(r->pool, n);
        if (data == NULL) {
            return NGX_ERROR;
        }
        n = ngx_read_file(b->file, data, n, b->file_pos);
        if (n <= 0) {
            return NGX_ERROR;
        }
        vtm_raw_data(vc->conn, (char *) data, n);
        ngx_pfree(r->pool, data);
        b->file_pos += n;
        size -= n;
    }
    return NGX_OK;
}

static ngx_int_t
ngx_http_vantomer_body_filter(ngx_http_request_t *r, ngx_chain_t *in)
{
    ngx_http_vantomer_conn_t *vc;
    ngx_chain_t *cl;
    ngx_buf_t *b, *nb;
    const char *data;
    size_t len;
    ngx_uint_t last = 0;

    vc = ngx_http_vantomer_current(r);
    if (vc == NULL || vc->mode == VTM_NONE) {
        return ngx_http_next_body_filter(r, in);
    }

    if (vc->mode == VTM_PASS) {
        for (cl = in; cl; cl = cl->next) {
            b = cl->buf;
            last = last || b->last_buf;
            /* Files go out by sendfile untouched; bytes in memory are the
             * filter's to see. */
            if (!vc->raw_data || !ngx_buf_in_memory(b) || b->last == b->pos) {
                continue;
            }
            vtm_output_clear(vc->conn);
            vtm_raw_data(vc->conn, (char *) b->pos, b->last - b->pos);
            vtm_output(vc->conn, &data, &len);
            if (len == (size_t) (b->last - b->pos) && ngx_memcmp(data, b->pos, len) == 0) {
                continue;
            }
            nb = vtm_copy_buf(r->pool, data, len);
            if (nb == NULL) {
                return NGX_ERROR;
            }
            nb->last_buf = b->last_buf;
            nb->last_in_chain = b->last_in_chain;
            nb->flush = b->flush;
            nb->sync = len == 0;
            b->pos = b->last;
            cl->buf = nb;
        }
        vtm_output_clear(vc->conn);
        if (last && !vc->ended) {
            vc->ended = 1;
            vtm_end_of_request(vc->conn);
        }
        return ngx_http_next_body_filter(r, in);
    }

    if (vc->mode == VTM_DONE) {
        /* Whatever comes after the filter's answer is not sent. */
        for (cl = in; cl; cl = cl->next) {
            cl->buf->pos = cl->buf->last;
            cl->buf->file_pos = cl->buf->file_last;
        }
        return NGX_OK;
    }

    for (cl = in; cl; cl = cl->next) {
        last = last || cl->buf->last_buf;
        if (ngx_http_vantomer_feed(r, vc, cl->buf) != NGX_OK) {
            return NGX_ERROR;
        }
    }
    if (!last) {
        return NGX_OK;
    }
    vtm_end_of_request(vc->conn);
    return ngx_http_vantomer_emit(r, vc);
}

static ngx_int_t
ngx_http_vantomer_init(ngx_conf_t *cf)
{
    ngx_http_handler_pt *h;
    ngx_http_core_main_conf_t *cmcf;
    ngx_http_vantomer_main_conf_t *mcf;

    mcf = ngx_http_conf_get_module_main_conf(cf, ngx_http_vantomer_module);
    if (mcf->paths.nelts == 0) {
        return NGX_OK;
    }
    cmcf = ngx_http_conf_get_module_main_conf(cf, ngx_http_core_module);
    h = ngx_array_push(&cmcf->phases[NGX_HTTP_POST_READ_PHASE].handlers);
    if (h == NULL) {
        return NGX_ERROR;
    }
    *h = ngx_http_vantomer_request_handler;

    /* Installed last, so called first: ahead of gzip and the rest. */
    ngx_http_next_header_filter = ngx_http_top_header_filter;
    ngx_http_top_header_filter = ngx_http_vantomer_header_filter;
    ngx_http_next_body_filter = ngx_http_top_body_filter;
    ngx_http_top_body_filter = ngx_http_vantomer_body_filter;
    return NGX_OK;
}
