/* The module's configuration and lifecycle: the vantomer_filter directive,
 * the filter loaded in each worker, the connection's slot and the request's
 * context. */

#include "ngx_http_vantomer_module.h"

static ngx_int_t ngx_http_vantomer_init(ngx_conf_t *cf);
static void *ngx_http_vantomer_create_main_conf(ngx_conf_t *cf);
static void *ngx_http_vantomer_create_srv_conf(ngx_conf_t *cf);
static char *ngx_http_vantomer_merge_srv_conf(ngx_conf_t *cf, void *parent, void *child);
static char *ngx_http_vantomer_filter(ngx_conf_t *cf, ngx_command_t *cmd, void *conf);
static char *ngx_http_vantomer_thread_pool(ngx_conf_t *cf, ngx_command_t *cmd, void *conf);
static ngx_int_t ngx_http_vantomer_init_process(ngx_cycle_t *cycle);
static void ngx_http_vantomer_exit_process(ngx_cycle_t *cycle);

static ngx_command_t ngx_http_vantomer_commands[] = {
    { ngx_string("vantomer_filter"),
      NGX_HTTP_MAIN_CONF|NGX_HTTP_SRV_CONF|NGX_CONF_TAKE1,
      ngx_http_vantomer_filter,
      NGX_HTTP_SRV_CONF_OFFSET,
      0,
      NULL },
    { ngx_string("vantomer_key_mark"),
      NGX_HTTP_MAIN_CONF|NGX_CONF_TAKE1,
      ngx_conf_set_str_slot,
      NGX_HTTP_MAIN_CONF_OFFSET,
      offsetof(ngx_http_vantomer_main_conf_t, key_mark),
      NULL },
    { ngx_string("vantomer_thread_pool"),
      NGX_HTTP_MAIN_CONF|NGX_CONF_TAKE1,
      ngx_http_vantomer_thread_pool,
      NGX_HTTP_MAIN_CONF_OFFSET,
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

ngx_http_output_header_filter_pt ngx_http_vantomer_next_header_filter;
ngx_http_output_body_filter_pt ngx_http_vantomer_next_body_filter;

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

/* Where long work goes: nginx's "default" pool unless named, "off" for the
 * event loop. Without thread support in nginx, everything runs inline. */
static char *
ngx_http_vantomer_thread_pool(ngx_conf_t *cf, ngx_command_t *cmd, void *conf)
{
    ngx_http_vantomer_main_conf_t *mcf = conf;
    ngx_str_t *value;

    if (mcf->pool_set) {
        return "is duplicate";
    }
    mcf->pool_set = 1;
    value = cf->args->elts;
    if (ngx_strcmp(value[1].data, "off") == 0) {
        mcf->pool_off = 1;
        return NGX_CONF_OK;
    }
#if (NGX_THREADS)
    mcf->pool_name = value[1];
    return NGX_CONF_OK;
#else
    ngx_conf_log_error(NGX_LOG_WARN, cf, 0,
                       "vantomer_thread_pool \"%V\" is ignored: this nginx has no threads",
                       &value[1]);
    return NGX_CONF_OK;
#endif
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

/* The addresses as C strings on the stack: the binding copies them, and a
 * stream of HTTP/2 would otherwise leave them in its connection's pool. */
static vtm_conn *
ngx_http_vantomer_conn_create(ngx_connection_t *c, vtm_module *module)
{
    vtm_conn_info info;
    ngx_str_t local;
    u_char addr[NGX_SOCKADDR_STRLEN + 1], remote[NGX_SOCKADDR_STRLEN + 1];
    size_t len;

    local.data = addr;
    local.len = NGX_SOCKADDR_STRLEN;
    if (ngx_connection_local_sockaddr(c, &local, 0) != NGX_OK) {
        local.len = 0;
    }
    addr[local.len] = '\0';
    len = ngx_min(c->addr_text.len, NGX_SOCKADDR_STRLEN);
    ngx_memcpy(remote, c->addr_text.data, len);
    remote[len] = '\0';

    ngx_memzero(&info, sizeof(info));
#if (NGX_HTTP_SSL)
    info.secure = c->ssl != NULL;
#endif
    info.local_addr = (char *) addr;
    info.local_port = c->local_sockaddr ? ngx_inet_get_port(c->local_sockaddr) : 0;
    info.remote_addr = (char *) remote;
    info.remote_port = ngx_inet_get_port(c->sockaddr);
    info.server_software = NGINX_VER;
    return vtm_conn_create(module, &info);
}

/* The connection's slot for the server's filter. A connection whose next
 * request goes to a server with another filter gets a connection of that
 * filter instead. */
static ngx_http_vantomer_conn_t *
ngx_http_vantomer_get_conn(ngx_http_request_t *r, ngx_uint_t index)
{
    ngx_connection_t *c = r->connection;
    ngx_http_vantomer_conn_t *vc = NULL;
    ngx_pool_cleanup_t *cln;

    for (cln = c->pool->cleanup; cln; cln = cln->next) {
        if (cln->handler == ngx_http_vantomer_conn_cleanup) {
            vc = cln->data;
            break;
        }
    }
    if (vc == NULL) {
        cln = ngx_pool_cleanup_add(c->pool, sizeof(ngx_http_vantomer_conn_t));
        if (cln == NULL) {
            return NULL;
        }
        vc = cln->data;
        ngx_memzero(vc, sizeof(ngx_http_vantomer_conn_t));
        cln->handler = ngx_http_vantomer_conn_cleanup;
    }
    if (vc->conn != NULL && vc->index == index) {
        return vc;
    }
    vtm_conn_destroy(vc->conn);
    vc->index = index;
    vc->conn = ngx_http_vantomer_conn_create(c, ngx_http_vantomer_modules[index]);
    return vc->conn ? vc : NULL;
}

vtm_module *
ngx_http_vantomer_filter_of(ngx_http_request_t *r)
{
    ngx_http_vantomer_srv_conf_t *scf;

    scf = ngx_http_get_module_srv_conf(r, ngx_http_vantomer_module);
    if (scf == NULL || scf->index >= ngx_http_vantomer_nmodules) {
        return NULL;
    }
    return ngx_http_vantomer_modules[scf->index];
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

/* The request is over for the filter, finished or not. */
static void
ngx_http_vantomer_ctx_cleanup(void *data)
{
    ngx_http_vantomer_ctx_t *ctx = data;

    if (ctx->conn == NULL) {
        return;
    }
    vtm_request_end(ctx->conn, !ctx->ended);
    if (ctx->own_conn) {
        vtm_conn_destroy(ctx->conn);
    }
    ctx->conn = NULL;
}

ngx_http_vantomer_ctx_t *
ngx_http_vantomer_get_ctx(ngx_http_request_t *r)
{
    ngx_http_vantomer_ctx_t *ctx;
    ngx_pool_cleanup_t *cln;

    ctx = ngx_http_get_module_ctx(r, ngx_http_vantomer_module);
    if (ctx != NULL || !(r->internal || r->filter_finalize)) {
        return ctx;
    }
    /* Subrequests share the pool of the main request: the context names
     * its own request. */
    for (cln = r->pool->cleanup; cln; cln = cln->next) {
        if (cln->handler == ngx_http_vantomer_ctx_cleanup
            && ((ngx_http_vantomer_ctx_t *) cln->data)->request == r)
        {
            ctx = cln->data;
            ngx_http_set_ctx(r, ctx, ngx_http_vantomer_module);
            return ctx;
        }
    }
    return NULL;
}

ngx_http_vantomer_ctx_t *
ngx_http_vantomer_create_ctx(ngx_http_request_t *r, vtm_module *module)
{
    ngx_http_vantomer_srv_conf_t *scf;
    ngx_http_vantomer_ctx_t *ctx;
    ngx_pool_cleanup_t *cln;
    int secure = 0;

    cln = ngx_pool_cleanup_add(r->pool, sizeof(ngx_http_vantomer_ctx_t));
    if (cln == NULL) {
        return NULL;
    }
    ctx = cln->data;
    ngx_memzero(ctx, sizeof(ngx_http_vantomer_ctx_t));
    ctx->request = r;
    /* HTTP/2 and HTTP/3 streams share their connection's pool: each stream
     * gets a filter connection of its own, as a subrequest does. */
    if (r == r->main && r->http_version < NGX_HTTP_VERSION_20) {
        scf = ngx_http_get_module_srv_conf(r, ngx_http_vantomer_module);
        ctx->vc = ngx_http_vantomer_get_conn(r, scf->index);
        ctx->conn = ctx->vc ? ctx->vc->conn : NULL;
    } else {
        ctx->conn = ngx_http_vantomer_conn_create(r->connection, module);
        ctx->own_conn = 1;
    }
    if (ctx->conn == NULL) {
        return NULL;
    }
#if (NGX_HTTP_SSL)
    secure = r->connection->ssl != NULL;
#endif
    ctx->raw_data = vtm_module_wants_raw_data(module, secure) ? 1 : 0;
    cln->handler = ngx_http_vantomer_ctx_cleanup;
    ngx_http_set_ctx(r, ctx, ngx_http_vantomer_module);
    return ctx;
}

/* The method, URL and headers as the client sent them. A HEAD request is
 * shown as GET, so that it gets the head GET would get; where nothing will
 * send the body (an upstream that answers HEAD), the header filter says
 * HEAD again. */
ngx_int_t
ngx_http_vantomer_begin(ngx_http_request_t *r, ngx_http_vantomer_ctx_t *ctx, ngx_str_t *url)
{
    ngx_list_part_t *part;
    ngx_table_elt_t *h;
    ngx_str_t method;
    ngx_uint_t i;

    method = r->method_name;
    if (r->method == NGX_HTTP_HEAD) {
        ngx_str_set(&method, "GET");
    }
    if (vtm_request_begin(ctx->conn, (char *) method.data, method.len, (char *) url->data,
                          url->len, (char *) r->http_protocol.data, r->http_protocol.len,
                          ngx_http_vantomer_variable, r)
        != VTM_OK)
    {
        return NGX_ERROR;
    }
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
        if (vtm_request_header(ctx->conn, (char *) h[i].key.data, h[i].key.len,
                               (char *) h[i].value.data, h[i].value.len)
            != VTM_OK)
        {
            return NGX_ERROR;
        }
    }
    return NGX_OK;
}

void
ngx_http_vantomer_log_failure(ngx_http_request_t *r, ngx_http_vantomer_ctx_t *ctx,
    const char *step)
{
    ngx_log_error(NGX_LOG_ERR, r->connection->log, 0, "vantomer: %s failed: %s", step,
                  ctx && ctx->conn ? vtm_conn_error(ctx->conn) : "out of memory");
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

    /* The left key mark of the example settings, unless told otherwise. */
    if (mcf->key_mark.data == NULL) {
        ngx_str_set(&mcf->key_mark, "(=");
    } else if (ngx_strcmp(mcf->key_mark.data, "off") == 0) {
        mcf->key_mark.len = 0;
    }
#if (NGX_THREADS)
    if (!mcf->pool_off) {
        mcf->pool = ngx_thread_pool_add(cf, mcf->pool_name.len ? &mcf->pool_name : NULL);
        if (mcf->pool == NULL) {
            return NGX_ERROR;
        }
    }
#endif

    /* Installed ahead of the copy filter: called after it (files come as
     * bytes in memory) and before gzip and the rest. */
    ngx_http_vantomer_next_header_filter = ngx_http_top_header_filter;
    ngx_http_top_header_filter = ngx_http_vantomer_header_filter;
    ngx_http_vantomer_next_body_filter = ngx_http_top_body_filter;
    ngx_http_top_body_filter = ngx_http_vantomer_body_filter;
    return NGX_OK;
}
