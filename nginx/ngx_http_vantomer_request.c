/* The request phase: the request head goes to the filter before a location
 * is chosen, and what the filter changed comes back into nginx's request,
 * checked as a client's request is. */

#include "ngx_http_vantomer_module.h"

/* The filter answered the request itself: the body the client sends is
 * read and dropped, and the answer goes out as the response. */
static ngx_int_t
ngx_http_vantomer_answer_request(ngx_http_request_t *r, ngx_http_vantomer_ctx_t *ctx)
{
    ngx_int_t rc;

    rc = ngx_http_discard_request_body(r);
    if (rc != NGX_OK) {
        return rc;
    }
    ctx->ended = 1;
    if (vtm_end_of_request(ctx->conn) != VTM_OK) {
        ngx_http_vantomer_log_failure(r, ctx, "the end of the request");
        return NGX_HTTP_INTERNAL_SERVER_ERROR;
    }
    rc = ngx_http_vantomer_emit(r, ctx);
    ngx_http_finalize_request(r, rc);
    return NGX_DONE;
}

ngx_int_t
ngx_http_vantomer_request_handler(ngx_http_request_t *r)
{
    ngx_http_vantomer_ctx_t *ctx;
    vtm_module *module;
    ngx_int_t rc;

    if (r != r->main || r->internal) {
        return NGX_DECLINED;
    }
    module = ngx_http_vantomer_filter_of(r);
    if (module == NULL) {
        return NGX_DECLINED;
    }
    ctx = ngx_http_get_module_ctx(r, ngx_http_vantomer_module);
    if (ctx != NULL) {
        /* Called again: while the notification runs on a pool thread, or
         * once it is done. */
        return ctx->preproc_running ? NGX_DONE : NGX_DECLINED;
    }
    ctx = ngx_http_vantomer_create_ctx(r, module);
    if (ctx == NULL) {
        ngx_log_error(NGX_LOG_ERR, r->connection->log, 0,
                      "vantomer: no filter connection for the request");
        return NGX_HTTP_INTERNAL_SERVER_ERROR;
    }
    if (ngx_http_vantomer_begin(r, ctx, &r->unparsed_uri) != NGX_OK) {
        ngx_http_vantomer_log_failure(r, ctx, "reading the request head");
        return NGX_HTTP_INTERNAL_SERVER_ERROR;
    }
    rc = ngx_http_vantomer_preproc_in_pool(r, ctx);
    if (rc != NGX_DECLINED) {
        return rc;
    }
    return ngx_http_vantomer_after_preproc(r, ctx, vtm_preproc_headers(ctx->conn));
}

ngx_int_t
ngx_http_vantomer_after_preproc(ngx_http_request_t *r, ngx_http_vantomer_ctx_t *ctx, int rc)
{
    const char *url;
    size_t url_len;

    if (rc == VTM_ERROR) {
        ngx_http_vantomer_log_failure(r, ctx, "the request-header notification");
        return NGX_HTTP_INTERNAL_SERVER_ERROR;
    }
    if (rc == VTM_FINISHED) {
        return ngx_http_vantomer_answer_request(r, ctx);
    }
    if (vtm_request_url(ctx->conn, &url, &url_len)) {
        rc = ngx_http_vantomer_apply_url(r, url, url_len);
        if (rc != NGX_OK) {
            return rc;
        }
    }
    if (vtm_request_headers_changed(ctx->conn)) {
        rc = ngx_http_vantomer_apply_headers(r, ctx->conn);
        if (rc != NGX_OK) {
            return rc;
        }
    }
    return NGX_DECLINED;
}

/* The filter's URL is parsed by nginx's own parser, as the request line's
 * is: escapes, "." and ".." segments, merged slashes. One that does not
 * parse, holds a NUL or climbs above the root is the client's fault (the
 * filter only ever cuts text out of what the client sent): 400. */
ngx_int_t
ngx_http_vantomer_apply_url(ngx_http_request_t *r, const char *url, size_t len)
{
    ngx_http_core_srv_conf_t *cscf;
    u_char *p;

    if (len == 0 || url[0] != '/') {
        goto invalid;
    }
    /* The parser reads one byte past the end, as after a request line. */
    p = ngx_pnalloc(r->pool, len + 1);
    r->uri.data = ngx_pnalloc(r->pool, len);
    if (p == NULL || r->uri.data == NULL) {
        return NGX_HTTP_INTERNAL_SERVER_ERROR;
    }
    ngx_memcpy(p, url, len);
    p[len] = '\0';

    r->uri_start = p;
    r->uri_end = p + len;
    r->args_start = NULL;
    r->uri_ext = NULL;
    r->empty_path_in_uri = 0;
    r->args.len = 0;
    r->args.data = NULL;
    r->exten.len = 0;
    r->exten.data = NULL;

    cscf = ngx_http_get_module_srv_conf(r, ngx_http_core_module);
    if (ngx_http_parse_complex_uri(r, cscf->merge_slashes) != NGX_OK) {
        r->uri.len = 0;
        goto invalid;
    }
    if (ngx_strlchr(r->uri.data, r->uri.data + r->uri.len, '\0') != NULL) {
        goto invalid;
    }
    r->unparsed_uri.data = p;
    r->unparsed_uri.len = len;
    r->valid_unparsed_uri = 1;
    if (r->args_start && r->uri_end > r->args_start) {
        r->args.data = r->args_start;
        r->args.len = r->uri_end - r->args_start;
    }
    return NGX_OK;

invalid:
    ngx_log_error(NGX_LOG_INFO, r->connection->log, 0,
                  "vantomer: the request's URL without its key mark is invalid: \"%*s\"",
                  len > 256 ? (size_t) 256 : len, url);
    return NGX_HTTP_BAD_REQUEST;
}
