/* The request headers as the filter left them, back in nginx's request.
 * The list is built anew and every field goes through nginx's own handler
 * for its name, as when the request was read: the fields nginx keeps apart
 * (single, linked or in arrays, depending on the version) stay consistent,
 * and a field the filter made invalid is refused as a client's would be. */

#include "ngx_http_vantomer_module.h"

/* Empties the fields nginx keeps apart, before the handlers fill them. */
static void
ngx_http_vantomer_clear_headers_in(ngx_http_request_t *r)
{
    ngx_http_header_t *hh;
    u_char *field;

    for (hh = ngx_http_headers_in; hh->name.len; hh++) {
        if (hh->offset == 0) {
            continue;
        }
        field = (u_char *) &r->headers_in + hh->offset;
#if (nginx_version < 1023000)
        /* Until 1.23 the repeated fields are arrays of pointers. */
        if (hh->offset == offsetof(ngx_http_headers_in_t, cookies)
#if (NGX_HTTP_X_FORWARDED_FOR)
            || hh->offset == offsetof(ngx_http_headers_in_t, x_forwarded_for)
#endif
        )
        {
            ((ngx_array_t *) field)->nelts = 0;
            continue;
        }
#endif
        *(ngx_table_elt_t **) field = NULL;
    }
}

/* The framing of the request body was read from these; the filter may not
 * change them under nginx. */
static ngx_int_t
ngx_http_vantomer_same_value(ngx_table_elt_t *before, ngx_table_elt_t *after)
{
    if (before == NULL || after == NULL) {
        return before == after;
    }
    return before->value.len == after->value.len
           && ngx_strncmp(before->value.data, after->value.data, before->value.len) == 0;
}

ngx_int_t
ngx_http_vantomer_apply_headers(ngx_http_request_t *r, vtm_conn *conn)
{
    ngx_http_core_main_conf_t *cmcf;
    ngx_table_elt_t *h, *host, *length, *encoding;
    ngx_http_header_t *hh;
    const char *name, *value;
    size_t name_len, value_len, i, n;

    host = r->headers_in.host;
    length = r->headers_in.content_length;
    encoding = r->headers_in.transfer_encoding;

    n = vtm_request_header_count(conn);
    if (ngx_list_init(&r->headers_in.headers, r->pool, n ? n : 1, sizeof(ngx_table_elt_t))
        != NGX_OK)
    {
        return NGX_HTTP_INTERNAL_SERVER_ERROR;
    }
    ngx_http_vantomer_clear_headers_in(r);

    cmcf = ngx_http_get_module_main_conf(r, ngx_http_core_module);
    for (i = 0; i < n; i++) {
        vtm_request_header_at(conn, i, &name, &name_len, &value, &value_len);
        h = ngx_http_vantomer_push_field(&r->headers_in.headers, r->pool, name, name_len, value,
                                         value_len);
        if (h == NULL) {
            return NGX_HTTP_INTERNAL_SERVER_ERROR;
        }
        hh = ngx_hash_find(&cmcf->headers_in_hash, h->hash, h->lowcase_key, h->key.len);
        if (hh != NULL && hh->handler(r, h, hh->offset) != NGX_OK) {
            /* nginx refused the field and answered the request already. */
            return NGX_DONE;
        }
    }

    if (!ngx_http_vantomer_same_value(host, r->headers_in.host)
        || !ngx_http_vantomer_same_value(length, r->headers_in.content_length)
        || !ngx_http_vantomer_same_value(encoding, r->headers_in.transfer_encoding))
    {
        ngx_log_error(NGX_LOG_ERR, r->connection->log, 0,
                      "vantomer: the filter changed the request's Host, Content-Length "
                      "or Transfer-Encoding");
        return NGX_HTTP_INTERNAL_SERVER_ERROR;
    }
    return NGX_OK;
}
