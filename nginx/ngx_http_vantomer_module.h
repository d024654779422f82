/* The parts of the vantomer nginx module: configuration and lifecycle
 * (ngx_http_vantomer_module.c), the filter connections of connections and
 * requests (_ctx.c), the request phase (_request.c), the request headers
 * handed back to nginx (_headers_in.c), the header and body filters
 * (_filter.c), the filter's own answer as nginx's response (_emit.c) and
 * long work on the thread pool (_thread.c). */
/* In nginx's own style, like the .c files beside it. */
/* clang-format off */
#ifndef NGX_HTTP_VANTOMER_MODULE_H
#define NGX_HTTP_VANTOMER_MODULE_H

#include <ngx_config.h>
#include <ngx_core.h>
#include <ngx_http.h>
#if (NGX_THREADS)
#include <ngx_thread_pool.h>
#endif

#include "vantomer_bridge.h"

#define VTM_OFF (NGX_CONF_UNSET_UINT - 1)

typedef struct {
    ngx_array_t paths; /* ngx_str_t: each distinct module once */
    ngx_str_t pool_name;
    ngx_str_t key_mark; /* a URL holding it may need the cookie stock */
    unsigned pool_set:1;
    unsigned pool_off:1;
#if (NGX_THREADS)
    ngx_thread_pool_t *pool; /* where conversions run, or NULL */
#endif
} ngx_http_vantomer_main_conf_t;

typedef struct {
    ngx_uint_t index; /* into paths; VTM_OFF or unset */
} ngx_http_vantomer_srv_conf_t;

/* One per client connection (per stream with HTTP/2), in its pool; found
 * once per request through the pool's cleanups. */
typedef struct {
    vtm_conn *conn;
    ngx_uint_t index;
    /* The last Last-Modified written: a connection mostly asks again for
     * what it had, and formatting a date is dear. */
    time_t modified;
    size_t modified_len;
    u_char modified_text[sizeof("Mon, 28 Sep 1970 06:00:00 GMT")];
} ngx_http_vantomer_conn_t;

/* What the filters do with the rest of a response: not seen yet, passed
 * through the filter, held for it, replaced by its answer, or left to
 * nginx's own error response after a failure. */
enum { VTM_NONE, VTM_PASS, VTM_HELD, VTM_CONVERTING, VTM_DONE, VTM_OUT };

/* A held page smaller than this converts on the event loop: it takes under
 * about 0.2 ms, and the hop to a pool thread and back adds some 50 us to
 * its request (docs/PERFORMANCE.md). */
#define VTM_INLINE_BYTES 16384

/* r->buffered while a conversion runs on a pool thread, so that nginx waits
 * for it (the image filter's bit, which never holds the same response). */
#define NGX_HTTP_VANTOMER_BUFFERED 0x08

/* One per request the filter sees, in the request's pool. It outlives an
 * internal redirect, which empties the module contexts, through its pool
 * cleanup (as the realip module keeps its own). */
typedef struct {
    ngx_http_request_t *request;
    vtm_conn *conn;               /* the connection's, or a subrequest's own */
    ngx_http_vantomer_conn_t *vc; /* the connection's slot */
    ngx_uint_t mode;
    unsigned raw_data:1; /* a passed body goes to the filter */
    unsigned ended:1; /* END_OF_REQUEST went out */
    unsigned own_conn:1;
    unsigned preproc_running:1; /* on a pool thread */
    unsigned needs_stock:1;     /* a key in the URL */
    unsigned sets_cookies:1;    /* the held response */
    size_t held_bytes;
    /* The response's fields nginx keeps apart, as the filter reads them. */
    ngx_str_t type;
    ngx_str_t length;
    ngx_str_t modified;
    u_char length_text[NGX_OFF_T_LEN];
    int task_rc; /* what the notification on the pool thread returned */
#if (NGX_THREADS)
    ngx_thread_task_t *task; /* the conversion, posted in its turn */
    ngx_queue_t waiting;
#endif
} ngx_http_vantomer_ctx_t;

/* The next field of a list of header fields, or NULL at its end:
 *     part = &list.part; i = 0;
 *     while ((h = ngx_http_vantomer_next_field(&part, &i)) != NULL) ... */
static ngx_inline ngx_table_elt_t *
ngx_http_vantomer_next_field(ngx_list_part_t **part, ngx_uint_t *i)
{
    while (*i >= (*part)->nelts) {
        if ((*part)->next == NULL) {
            return NULL;
        }
        *part = (*part)->next;
        *i = 0;
    }
    return (ngx_table_elt_t *) (*part)->elts + (*i)++;
}

extern ngx_module_t ngx_http_vantomer_module;
/* The modules this worker loaded, by index into the main conf's paths. */
extern vtm_module **ngx_http_vantomer_modules;
extern ngx_uint_t ngx_http_vantomer_nmodules;
extern ngx_http_output_header_filter_pt ngx_http_vantomer_next_header_filter;
extern ngx_http_output_body_filter_pt ngx_http_vantomer_next_body_filter;

/* The filter loaded for a server, or NULL where it is off. */
vtm_module *ngx_http_vantomer_filter_of(ngx_http_request_t *r);
/* The request's context, also after an internal redirect. */
ngx_http_vantomer_ctx_t *ngx_http_vantomer_get_ctx(ngx_http_request_t *r);
/* A new context for the request: the connection's filter connection for the
 * main request, a filter connection of its own for a subrequest. */
ngx_http_vantomer_ctx_t *ngx_http_vantomer_create_ctx(ngx_http_request_t *r, vtm_module *module);
/* Hands the request head to the filter connection. */
ngx_int_t ngx_http_vantomer_begin(ngx_http_request_t *r, ngx_http_vantomer_ctx_t *ctx,
    ngx_str_t *url);
/* A header field pushed onto list, its name, value and lower-case name
 * copied into pool, its hash set. */
ngx_table_elt_t *ngx_http_vantomer_push_field(ngx_list_t *list, ngx_pool_t *pool,
    const char *name, size_t name_len, const char *value, size_t value_len);
void ngx_http_vantomer_log_failure(ngx_http_request_t *r, ngx_http_vantomer_ctx_t *ctx,
    const char *step);

ngx_int_t ngx_http_vantomer_request_handler(ngx_http_request_t *r);
/* Runs the request-header notification of a request with a key in its URL
 * on a pool thread: NGX_DONE when it went there, NGX_DECLINED otherwise. */
ngx_int_t ngx_http_vantomer_preproc_in_pool(ngx_http_request_t *r, ngx_http_vantomer_ctx_t *ctx);
/* What the request-header notification returned, applied to the request:
 * what the phase handler returns. */
ngx_int_t ngx_http_vantomer_after_preproc(ngx_http_request_t *r, ngx_http_vantomer_ctx_t *ctx,
    int rc);
ngx_int_t ngx_http_vantomer_apply_url(ngx_http_request_t *r, const char *url, size_t len);
ngx_int_t ngx_http_vantomer_apply_headers(ngx_http_request_t *r, vtm_conn *conn);

ngx_int_t ngx_http_vantomer_header_filter(ngx_http_request_t *r);
ngx_int_t ngx_http_vantomer_body_filter(ngx_http_request_t *r, ngx_chain_t *in);
/* Ends the held response on a pool thread: NGX_AGAIN when it went there,
 * NGX_DECLINED when it is to run inline. */
ngx_int_t ngx_http_vantomer_end_in_pool(ngx_http_request_t *r, ngx_http_vantomer_ctx_t *ctx);
/* Ends the held response and sends the filter's answer, on the event loop. */
ngx_int_t ngx_http_vantomer_answer(ngx_http_request_t *r, ngx_http_vantomer_ctx_t *ctx);
/* Sends the filter's answer once its end of request returned end_rc. */
ngx_int_t ngx_http_vantomer_send_answer(ngx_http_request_t *r, ngx_http_vantomer_ctx_t *ctx,
    int end_rc);
/* Logs the failed step; nginx's own 500 replaces the response. */
ngx_int_t ngx_http_vantomer_fail(ngx_http_request_t *r, ngx_http_vantomer_ctx_t *ctx,
    const char *step);
/* Sends what the filter wrote as the request's response. */
ngx_int_t ngx_http_vantomer_emit(ngx_http_request_t *r, ngx_http_vantomer_ctx_t *ctx);

#endif
