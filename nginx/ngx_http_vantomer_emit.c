/* The filter's own answer as nginx's response: its head replaces the
 * application's, so that nginx frames the body (length or chunks, HTTP/2,
 * keep-alive) and the filters after this one see the new head. */

#include "ngx_http_vantomer_module.h"

#define vtm_is(name, len, literal) \
    ((len) == sizeof(literal) - 1 && ngx_strncasecmp((u_char *) (name), (u_char *) literal, len) == 0)

/* The application's head is dropped: its fields are deleted as nginx's
 * filters delete one (hash 0), and the fields nginx keeps apart are
 * cleared, so that nginx adds its own Server and Date. */
static void
ngx_http_vantomer_clear_headers_out(ngx_http_request_t *r)
{
    ngx_list_part_t *part;
    ngx_table_elt_t *h;
    ngx_http_header_out_t *ho;
    ngx_uint_t i;

    part = &r->headers_out.headers.part;
    i = 0;
    while ((h = ngx_http_vantomer_next_field(&part, &i)) != NULL) {
        h->hash = 0;
    }
    ngx_http_clear_content_length(r);
    ngx_http_clear_accept_ranges(r);
    ngx_http_clear_last_modified(r);
    ngx_http_clear_location(r);
    ngx_http_clear_etag(r);
    for (ho = ngx_http_headers_out; ho->name.len; ho++) {
#if (nginx_version < 1023000)
        if (ho->offset == offsetof(ngx_http_headers_out_t, cache_control)) {
            r->headers_out.cache_control.nelts = 0;
            continue;
        }
#endif
        *(ngx_table_elt_t **) ((u_char *) &r->headers_out + ho->offset) = NULL;
    }
    r->headers_out.refresh = NULL;
    r->headers_out.content_range = NULL;
    r->headers_out.www_authenticate = NULL;
#if (nginx_version < 1023000)
    r->headers_out.link.nelts = 0;
#else
    r->headers_out.link = NULL;
#endif
    r->headers_out.status_line.len = 0;
    r->headers_out.content_type.len = 0;
    r->headers_out.content_type_len = 0;
    r->headers_out.content_type_lowcase = NULL;
    r->headers_out.charset.len = 0;
}

/* A field nginx keeps apart (but Location, which nginx would rewrite) is
 * linked where the filters after this one look for it. */
static ngx_int_t
ngx_http_vantomer_link_header_out(ngx_http_request_t *r, ngx_table_elt_t *h)
{
    ngx_http_header_out_t *ho;
    ngx_table_elt_t **ph;

    for (ho = ngx_http_headers_out; ho->name.len; ho++) {
        if (ho->name.len != h->key.len
            || ngx_strncasecmp(ho->name.data, h->key.data, h->key.len) != 0
            || ho->offset == offsetof(ngx_http_headers_out_t, location))
        {
            continue;
        }
#if (nginx_version < 1023000)
        if (ho->offset == offsetof(ngx_http_headers_out_t, cache_control)) {
            if (r->headers_out.cache_control.elts == NULL
                && ngx_array_init(&r->headers_out.cache_control, r->pool, 1,
                                  sizeof(ngx_table_elt_t *))
                   != NGX_OK)
            {
                return NGX_ERROR;
            }
            ph = ngx_array_push(&r->headers_out.cache_control);
            if (ph == NULL) {
                return NGX_ERROR;
            }
            *ph = h;
            return NGX_OK;
        }
#endif
        ph = (ngx_table_elt_t **) ((u_char *) &r->headers_out + ho->offset);
#if (nginx_version >= 1023000)
        while (*ph) {
            ph = &(*ph)->next;
        }
        *ph = h;
#else
        if (*ph == NULL) {
            *ph = h;
        }
#endif
        return NGX_OK;
    }
    return NGX_OK;
}

static ngx_int_t
ngx_http_vantomer_add_header_out(ngx_http_request_t *r, const char *name, size_t name_len,
    const char *value, size_t value_len)
{
    ngx_table_elt_t *h;

    h = ngx_http_vantomer_push_field(&r->headers_out.headers, r->pool, name, name_len, value,
                                     value_len);
    if (h == NULL) {
        return NGX_ERROR;
    }
    h->hash = 1;
    return ngx_http_vantomer_link_header_out(r, h);
}

static ngx_int_t
ngx_http_vantomer_set_content_type(ngx_http_request_t *r, const char *value, size_t len)
{
    u_char *p;
    size_t type_len;

    p = ngx_pnalloc(r->pool, len);
    if (p == NULL) {
        return NGX_ERROR;
    }
    ngx_memcpy(p, value, len);
    /* The media type alone is what nginx matches its *_types against. */
    for (type_len = 0; type_len < len && p[type_len] != ';'; type_len++) {
        /* void */
    }
    while (type_len > 0 && (p[type_len - 1] == ' ' || p[type_len - 1] == '\t')) {
        type_len--;
    }
    r->headers_out.content_type.data = p;
    r->headers_out.content_type.len = len;
    r->headers_out.content_type_len = type_len;
    return NGX_OK;
}

/* The filter's head as nginx's response head; the length it gave, if any. */
static ngx_int_t
ngx_http_vantomer_set_head(ngx_http_request_t *r, ngx_http_vantomer_ctx_t *ctx, off_t *length)
{
    const char *name, *value;
    size_t name_len, value_len, i, n;

    *length = -1;
    n = vtm_output_header_count(ctx->conn);
    for (i = 0; i < n; i++) {
        vtm_output_header_at(ctx->conn, i, &name, &name_len, &value, &value_len);
        if (vtm_is(name, name_len, "Connection") || vtm_is(name, name_len, "Keep-Alive")
            || vtm_is(name, name_len, "Transfer-Encoding"))
        {
            continue;
        }
        if (vtm_is(name, name_len, "Content-Length")) {
            *length = ngx_atoof((u_char *) value, value_len);
            continue;
        }
        if (vtm_is(name, name_len, "Content-Type")) {
            if (ngx_http_vantomer_set_content_type(r, value, value_len) != NGX_OK) {
                return NGX_ERROR;
            }
            continue;
        }
        if (ngx_http_vantomer_add_header_out(r, name, name_len, value, value_len) != NGX_OK) {
            return NGX_ERROR;
        }
    }
    return NGX_OK;
}

static ngx_int_t
ngx_http_vantomer_send_body(ngx_http_request_t *r, ngx_http_vantomer_ctx_t *ctx,
    const char *body, size_t len)
{
    ngx_buf_t *b;
    ngx_chain_t out;

    b = ngx_calloc_buf(r->pool);
    if (b == NULL) {
        return NGX_ERROR;
    }
    if (len) {
        b->start = ngx_pnalloc(r->pool, len);
        if (b->start == NULL) {
            return NGX_ERROR;
        }
        ngx_memcpy(b->start, body, len);
        b->memory = 1;
    } else {
        b->sync = 1;
    }
    b->pos = b->start;
    b->last = b->end = b->start + len;
    b->last_buf = r == r->main;
    b->last_in_chain = 1;
    vtm_output_clear(ctx->conn);
    out.buf = b;
    out.next = NULL;
    return ngx_http_vantomer_next_body_filter(r, &out);
}

ngx_int_t
ngx_http_vantomer_emit(ngx_http_request_t *r, ngx_http_vantomer_ctx_t *ctx)
{
    const char *body;
    size_t body_len;
    unsigned status;
    off_t length;
    ngx_int_t rc;

    ctx->mode = VTM_DONE;
    ctx->ended = 1;
    if (vtm_output_parse(ctx->conn, &status, &body, &body_len) != VTM_OK) {
        ngx_http_vantomer_log_failure(r, ctx, "reading the filter's answer");
        ctx->mode = VTM_OUT;
        return NGX_HTTP_INTERNAL_SERVER_ERROR;
    }
    ngx_http_vantomer_clear_headers_out(r);
    r->allow_ranges = 0;
    r->headers_out.status = status;
    if (ngx_http_vantomer_set_head(r, ctx, &length) != NGX_OK) {
        return NGX_ERROR;
    }
    if (length >= 0 && (size_t) length < body_len) {
        body_len = (size_t) length;
    }
    r->headers_out.content_length_n = (r->header_only && length >= 0) ? length : (off_t) body_len;

    rc = ngx_http_vantomer_next_header_filter(r);
    if (rc == NGX_ERROR || rc > NGX_OK || r->header_only) {
        return rc;
    }
    return ngx_http_vantomer_send_body(r, ctx, body, body_len);
}
