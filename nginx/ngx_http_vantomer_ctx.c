/* The filter connection of a client connection (its slot) and of each
 * request the filter sees (its context), and the request head handed to it. */

#include "ngx_http_vantomer_module.h"

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
    cln->handler = ngx_http_vantomer_ctx_cleanup;
    ngx_http_set_ctx(r, ctx, ngx_http_vantomer_module);
    return ctx;
}

/* The request's header fields, read where nginx keeps them. */
static void
ngx_http_vantomer_request_fields(void *data, size_t name_len, vtm_field_fn field,
    void *visitor)
{
    ngx_http_request_t *r = data;
    ngx_list_part_t *part;
    ngx_table_elt_t *h;
    ngx_uint_t i;

    part = &r->headers_in.headers.part;
    i = 0;
    while ((h = ngx_http_vantomer_next_field(&part, &i)) != NULL) {
        if (name_len && h->key.len != name_len) {
            continue;
        }
        if (!field(visitor, (char *) h->key.data, h->key.len, (char *) h->value.data,
                   h->value.len))
        {
            return;
        }
    }
}

/* The method, URL and headers as the client sent them. A HEAD request is
 * shown as GET, so that it gets the head GET would get; where nothing will
 * send the body (an upstream that answers HEAD), the header filter says
 * HEAD again. */
ngx_int_t
ngx_http_vantomer_begin(ngx_http_request_t *r, ngx_http_vantomer_ctx_t *ctx, ngx_str_t *url)
{
    ngx_str_t method;

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
    vtm_request_fields(ctx->conn, ngx_http_vantomer_request_fields, r);
    return NGX_OK;
}

void
ngx_http_vantomer_log_failure(ngx_http_request_t *r, ngx_http_vantomer_ctx_t *ctx,
    const char *step)
{
    ngx_log_error(NGX_LOG_ERR, r->connection->log, 0, "vantomer: %s failed: %s", step,
                  ctx && ctx->conn ? vtm_conn_error(ctx->conn) : "out of memory");
}

ngx_table_elt_t *
ngx_http_vantomer_push_field(ngx_list_t *list, ngx_pool_t *pool, const char *name,
    size_t name_len, const char *value, size_t value_len)
{
    ngx_table_elt_t *h;

    h = ngx_list_push(list);
    if (h == NULL) {
        return NULL;
    }
    h->key.len = name_len;
    h->key.data = ngx_pnalloc(pool, name_len + 1);
    h->value.len = value_len;
    h->value.data = ngx_pnalloc(pool, value_len + 1);
    h->lowcase_key = ngx_pnalloc(pool, name_len + 1);
    if (h->key.data == NULL || h->value.data == NULL || h->lowcase_key == NULL) {
        return NULL;
    }
    ngx_memcpy(h->key.data, name, name_len);
    h->key.data[name_len] = '\0';
    ngx_memcpy(h->value.data, value, value_len);
    h->value.data[value_len] = '\0';
    h->hash = ngx_hash_strlow(h->lowcase_key, h->key.data, name_len);
    h->lowcase_key[name_len] = '\0';
#if (nginx_version >= 1023000)
    h->next = NULL;
#endif
    return h;
}
