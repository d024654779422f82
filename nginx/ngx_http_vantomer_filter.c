/* The header and body filters: the response head goes to the filter as the
 * raw bytes a client would receive, then the body; a response the filter
 * takes is held until its end and replaced by what the filter writes. */

#include "ngx_http_vantomer_module.h"

/* Content-Type with its charset, Content-Length and Last-Modified as header
 * fields, from where nginx keeps them apart. */
static ngx_int_t
ngx_http_vantomer_describe_fields(ngx_http_request_t *r, ngx_http_vantomer_ctx_t *ctx)
{
    ngx_http_vantomer_conn_t *vc = ctx->vc;
    off_t n;
    u_char *p;

    ctx->type = r->headers_out.content_type;
    if (ctx->type.len && r->headers_out.charset.len) {
        ctx->type.len += sizeof("; charset=") - 1 + r->headers_out.charset.len;
        ctx->type.data = ngx_pnalloc(r->pool, ctx->type.len);
        if (ctx->type.data == NULL) {
            return NGX_ERROR;
        }
        ngx_sprintf(ctx->type.data, "%V; charset=%V", &r->headers_out.content_type,
                    &r->headers_out.charset);
    }
    ngx_str_null(&ctx->length);
    if (r->headers_out.content_length_n >= 0) {
        p = ctx->length_text + NGX_OFF_T_LEN;
        n = r->headers_out.content_length_n;
        do {
            *--p = (u_char) ('0' + n % 10);
            n /= 10;
        } while (n);
        ctx->length.data = p;
        ctx->length.len = ctx->length_text + NGX_OFF_T_LEN - p;
    }
    ngx_str_null(&ctx->modified);
    if (r->headers_out.last_modified_time != -1) {
        if (vc == NULL) {
            ctx->modified.data = ngx_pnalloc(r->pool, sizeof("Mon, 28 Sep 1970 06:00:00 GMT"));
            if (ctx->modified.data == NULL) {
                return NGX_ERROR;
            }
            ctx->modified.len = ngx_http_time(ctx->modified.data,
                                              r->headers_out.last_modified_time)
                                - ctx->modified.data;
        } else {
            if (vc->modified_len == 0 || vc->modified != r->headers_out.last_modified_time) {
                vc->modified = r->headers_out.last_modified_time;
                vc->modified_len = ngx_http_time(vc->modified_text, vc->modified)
                                   - vc->modified_text;
            }
            ctx->modified.data = vc->modified_text;
            ctx->modified.len = vc->modified_len;
        }
    }
    return NGX_OK;
}

#define vtm_field(field, visitor, name_len, name, value)                                \
    ((value)->len == 0 || (name_len && name_len != sizeof(name) - 1)                     \
     || field(visitor, name, sizeof(name) - 1, (char *) (value)->data, (value)->len))

/* The response's header fields as a client would receive them. */
static void
ngx_http_vantomer_response_fields(void *data, size_t name_len, vtm_field_fn field,
    void *visitor)
{
    ngx_http_vantomer_ctx_t *ctx = data;
    ngx_http_request_t *r = ctx->request;
    ngx_list_part_t *part;
    ngx_table_elt_t *h;
    ngx_uint_t i;

    if (!vtm_field(field, visitor, name_len, "Content-Type", &ctx->type)
        || !vtm_field(field, visitor, name_len, "Content-Length", &ctx->length)
        || !vtm_field(field, visitor, name_len, "Last-Modified", &ctx->modified))
    {
        return;
    }
    part = &r->headers_out.headers.part;
    i = 0;
    while ((h = ngx_http_vantomer_next_field(&part, &i)) != NULL) {
        if (h->hash == 0 || (name_len && h->key.len != name_len)
            || h == r->headers_out.content_length || h == r->headers_out.last_modified)
        {
            continue;
        }
        if (!field(visitor, (char *) h->key.data, h->key.len, (char *) h->value.data,
                   h->value.len))
        {
            return;
        }
    }
}

/* The response head as the raw bytes a client would receive. */
static ngx_int_t
ngx_http_vantomer_describe_head(ngx_http_request_t *r, ngx_http_vantomer_ctx_t *ctx)
{
    ngx_str_t reason;

    ngx_str_null(&reason);
    if (r->headers_out.status_line.len > 4) {
        reason.data = r->headers_out.status_line.data + 4;
        reason.len = r->headers_out.status_line.len - 4;
    } else if (r->headers_out.status == NGX_HTTP_OK) {
        ngx_str_set(&reason, "OK");
    }
    if (vtm_response_begin(ctx->conn, r->headers_out.status, (char *) reason.data, reason.len)
            != VTM_OK
        || ngx_http_vantomer_describe_fields(r, ctx) != NGX_OK)
    {
        return NGX_ERROR;
    }
    vtm_response_fields(ctx->conn, ngx_http_vantomer_response_fields, ctx);
    return NGX_OK;
}

/* A response that sets cookies may be stocked at its end. */
static unsigned
ngx_http_vantomer_sets_cookies(ngx_http_request_t *r)
{
    ngx_list_part_t *part;
    ngx_table_elt_t *h;
    ngx_uint_t i;

    part = &r->headers_out.headers.part;
    i = 0;
    while ((h = ngx_http_vantomer_next_field(&part, &i)) != NULL) {
        if (h->hash != 0 && h->key.len == sizeof("Set-Cookie") - 1
            && ngx_strncasecmp(h->key.data, (u_char *) "Set-Cookie", h->key.len) == 0)
        {
            return 1;
        }
    }
    return 0;
}

/* A subrequest's response is converted for the handset like any other:
 * an included TELMARK page never goes out raw. */
static ngx_http_vantomer_ctx_t *
ngx_http_vantomer_subrequest_ctx(ngx_http_request_t *r)
{
    ngx_http_vantomer_ctx_t *ctx;
    vtm_module *module;
    ngx_str_t url;
    u_char *p;
    uintptr_t escape;

    module = ngx_http_vantomer_filter_of(r);
    if (module == NULL || r->header_only) {
        return NULL; /* no body goes anywhere: nothing to convert */
    }
    ctx = ngx_http_vantomer_create_ctx(r, module);
    if (ctx == NULL) {
        ngx_log_error(NGX_LOG_ERR, r->connection->log, 0,
                      "vantomer: no filter connection for the subrequest");
        return NULL;
    }
    escape = 2 * ngx_escape_uri(NULL, r->uri.data, r->uri.len, NGX_ESCAPE_URI);
    url.len = r->uri.len + escape + (r->args.len ? r->args.len + 1 : 0);
    url.data = ngx_pnalloc(r->pool, url.len);
    if (url.data == NULL) {
        return NULL;
    }
    p = (u_char *) ngx_escape_uri(url.data, r->uri.data, r->uri.len, NGX_ESCAPE_URI);
    if (r->args.len) {
        *p++ = '?';
        ngx_memcpy(p, r->args.data, r->args.len);
    }
    if (ngx_http_vantomer_begin(r, ctx, &url) != NGX_OK) {
        ngx_http_vantomer_log_failure(r, ctx, "reading the subrequest's head");
        return NULL;
    }
    return ctx;
}

/* A held response whose body cannot be converted is replaced by nginx's own
 * error response. */
ngx_int_t
ngx_http_vantomer_fail(ngx_http_request_t *r, ngx_http_vantomer_ctx_t *ctx, const char *step)
{
    ngx_http_vantomer_log_failure(r, ctx, step);
    ctx->mode = VTM_OUT;
    return ngx_http_filter_finalize_request(r, &ngx_http_vantomer_module,
                                            NGX_HTTP_INTERNAL_SERVER_ERROR);
}

/* The filter's answer goes out once its end-of-request notification
 * returned end_rc; one that is not a response gets nginx's error response
 * instead. */
ngx_int_t
ngx_http_vantomer_send_answer(ngx_http_request_t *r, ngx_http_vantomer_ctx_t *ctx, int end_rc)
{
    ngx_int_t rc;

    if (end_rc != VTM_OK) {
        return ngx_http_vantomer_fail(r, ctx, "the end of the request");
    }
    rc = ngx_http_vantomer_emit(r, ctx);
    if (rc == NGX_HTTP_INTERNAL_SERVER_ERROR) {
        return ngx_http_filter_finalize_request(r, &ngx_http_vantomer_module, rc);
    }
    return rc;
}

ngx_int_t
ngx_http_vantomer_answer(ngx_http_request_t *r, ngx_http_vantomer_ctx_t *ctx)
{
    ctx->ended = 1;
    return ngx_http_vantomer_send_answer(r, ctx, vtm_end_of_request(ctx->conn));
}

ngx_int_t
ngx_http_vantomer_header_filter(ngx_http_request_t *r)
{
    ngx_http_vantomer_ctx_t *ctx;
    ngx_int_t rc;

    ctx = ngx_http_vantomer_get_ctx(r);
    if (ctx == NULL && r != r->main && !r->filter_finalize) {
        ctx = ngx_http_vantomer_subrequest_ctx(r);
    }
    if (ctx == NULL || ctx->mode != VTM_NONE) {
        return ngx_http_vantomer_next_header_filter(r);
    }
    /* An upstream asked with HEAD sends no body to convert. */
    if (r->method == NGX_HTTP_HEAD && r->upstream != NULL
        && vtm_request_method(ctx->conn, "HEAD", 4) != VTM_OK)
    {
        return ngx_http_vantomer_fail(r, ctx, "the response notification");
    }
    if (ngx_http_vantomer_describe_head(r, ctx) != NGX_OK) {
        return ngx_http_vantomer_fail(r, ctx, "reading the response head");
    }
    rc = vtm_send_response(ctx->conn);
    switch (rc) {
    case VTM_HEAD_UNTOUCHED:
        ctx->mode = VTM_PASS;
        ctx->raw_data = vtm_conn_wants_raw_data(ctx->conn) ? 1 : 0;
        return ngx_http_vantomer_next_header_filter(r);
    case VTM_HEAD_TAKEN:
        ctx->mode = VTM_HELD;
        ctx->sets_cookies = ngx_http_vantomer_sets_cookies(r);
        r->filter_need_in_memory = 1;
        if (!r->header_only) {
            return NGX_OK; /* the body decides, at its end */
        }
        break;
    case VTM_FINISHED:
        break;
    default:
        return ngx_http_vantomer_fail(r, ctx, "the response notification");
    }
    return ngx_http_vantomer_answer(r, ctx);
}

/* Bytes of a passed body the filter asked to see as raw data. */
static ngx_int_t
ngx_http_vantomer_pass_body(ngx_http_request_t *r, ngx_http_vantomer_ctx_t *ctx,
    ngx_chain_t *in)
{
    ngx_chain_t *cl;
    ngx_buf_t *b, *nb;
    const char *data;
    size_t len;
    ngx_uint_t last = 0;

    for (cl = in; cl; cl = cl->next) {
        b = cl->buf;
        last = last || b->last_buf || (r != r->main && b->last_in_chain);
        /* Files go out by sendfile untouched; bytes in memory are the
         * filter's to see. */
        if (!ctx->raw_data || !ngx_buf_in_memory(b) || b->last == b->pos) {
            continue;
        }
        vtm_output_clear(ctx->conn);
        if (vtm_raw_data(ctx->conn, (char *) b->pos, b->last - b->pos) == VTM_ERROR) {
            ngx_http_vantomer_log_failure(r, ctx, "the raw-data notification");
            return NGX_ERROR;
        }
        vtm_output(ctx->conn, &data, &len);
        if (len == (size_t) (b->last - b->pos) && ngx_memcmp(data, b->pos, len) == 0) {
            continue;
        }
        nb = ngx_calloc_buf(r->pool);
        if (nb == NULL || (len && (nb->start = ngx_pnalloc(r->pool, len)) == NULL)) {
            return NGX_ERROR;
        }
        if (len) {
            ngx_memcpy(nb->start, data, len);
            nb->memory = 1;
        }
        nb->pos = nb->start;
        nb->last = nb->end = nb->start + len;
        nb->last_buf = b->last_buf;
        nb->last_in_chain = b->last_in_chain;
        nb->flush = b->flush;
        nb->sync = len == 0;
        b->pos = b->last;
        cl->buf = nb;
    }
    vtm_output_clear(ctx->conn);
    if (last && !ctx->ended) {
        ctx->ended = 1;
        if (vtm_end_of_request(ctx->conn) != VTM_OK) {
            ngx_http_vantomer_log_failure(r, ctx, "the end of the request");
        }
    }
    return ngx_http_vantomer_next_body_filter(r, in);
}

ngx_int_t
ngx_http_vantomer_body_filter(ngx_http_request_t *r, ngx_chain_t *in)
{
    ngx_http_vantomer_ctx_t *ctx;
    ngx_chain_t *cl;
    ngx_buf_t *b;
    ngx_uint_t last = 0;
    ngx_int_t rc;

    ctx = ngx_http_vantomer_get_ctx(r);
    if (ctx == NULL || ctx->mode == VTM_NONE || ctx->mode == VTM_OUT) {
        return ngx_http_vantomer_next_body_filter(r, in);
    }
    if (ctx->mode == VTM_PASS) {
        return ngx_http_vantomer_pass_body(r, ctx, in);
    }
    if (ctx->mode == VTM_CONVERTING) {
        return NGX_AGAIN; /* nothing comes after the end it works on */
    }
    if (ctx->mode == VTM_DONE) {
        /* Whatever comes after the filter's answer is not sent, but what
         * the filters below still hold of the answer must be flushed. */
        for (cl = in; cl; cl = cl->next) {
            cl->buf->pos = cl->buf->last;
            cl->buf->file_pos = cl->buf->file_last;
        }
        return ngx_http_vantomer_next_body_filter(r, NULL);
    }

    for (cl = in; cl; cl = cl->next) {
        b = cl->buf;
        last = last || b->last_buf || (r != r->main && b->last_in_chain);
        if (b->in_file && !ngx_buf_in_memory(b)) {
            /* The copy filter reads files for a filter that needs memory. */
            ngx_log_error(NGX_LOG_ALERT, r->connection->log, 0,
                          "vantomer: a held body came as a file");
            return NGX_ERROR;
        }
        if (b->last > b->pos
            && vtm_raw_data(ctx->conn, (char *) b->pos, b->last - b->pos) == VTM_ERROR)
        {
            return ngx_http_vantomer_fail(r, ctx, "holding the response");
        }
        ctx->held_bytes += b->last - b->pos;
        b->pos = b->last;
        if (b->in_file) {
            b->file_pos = b->file_last;
        }
    }
    if (!last) {
        return NGX_OK;
    }
    rc = ngx_http_vantomer_end_in_pool(r, ctx);
    if (rc != NGX_DECLINED) {
        return rc;
    }
    return ngx_http_vantomer_answer(r, ctx);
}
