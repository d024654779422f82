/* Work that waits or computes long, on nginx's thread pool: the
 * request-header notification of a request whose URL holds a stock key
 * (the stock's round trip), and the end of a held response (the conversion,
 * and the stock's round trips when it sets cookies or has a key). The
 * request waits as for a threaded file read and goes on on the event loop.
 * The filter's callbacks on the pool thread touch only the binding's copies
 * of the request: nginx variables are read before the task is posted. */

#include "ngx_http_vantomer_module.h"

#if (NGX_THREADS)

/* A conversion uses the CPU it waits for: each worker runs one at a time on
 * the pool and the others wait their turn in order, so that a pool of many
 * threads (nginx's default has 32) never runs more conversions than there
 * are workers, which is more than the cores only by choice. */
static ngx_queue_t ngx_http_vantomer_waiting;
static ngx_uint_t ngx_http_vantomer_converting;

static void
ngx_http_vantomer_run_waiting(ngx_thread_pool_t *pool)
{
    ngx_http_vantomer_ctx_t *ctx;
    ngx_thread_task_t *task;
    ngx_queue_t *q;

    while (ngx_http_vantomer_converting < 2 && !ngx_queue_empty(&ngx_http_vantomer_waiting)) {
        q = ngx_queue_head(&ngx_http_vantomer_waiting);
        ngx_queue_remove(q);
        ctx = ngx_queue_data(q, ngx_http_vantomer_ctx_t, waiting);
        task = ctx->task;
        ngx_http_vantomer_converting++;
        if (ngx_thread_task_post(pool, task) != NGX_OK) {
            /* No room on the pool: converted here, answered as from it. */
            task->handler(task->ctx, ctx->request->connection->log);
            ngx_post_event(&task->event, &ngx_posted_events);
        }
    }
}

static void
ngx_http_vantomer_thread_handler(void *data, ngx_log_t *log)
{
    ngx_http_vantomer_ctx_t *ctx = *(ngx_http_vantomer_ctx_t **) data;

    ctx->task_rc = vtm_end_of_request(ctx->conn);
}

static void
ngx_http_vantomer_thread_event_handler(ngx_event_t *ev)
{
    ngx_http_request_t *r = ev->data;
    ngx_connection_t *c = r->connection;
    ngx_http_vantomer_ctx_t *ctx;

    ngx_http_set_log_request(c->log, r);
    ngx_http_vantomer_converting--;
    ngx_http_vantomer_run_waiting(
        ((ngx_http_vantomer_main_conf_t *)
            ngx_http_get_module_main_conf(r, ngx_http_vantomer_module))->pool);
    r->main->blocked--;
    r->aio = 0;
    r->buffered &= ~NGX_HTTP_VANTOMER_BUFFERED;

#if (NGX_HTTP_V2)
    if (r->stream) {
        /* as after a threaded read: the main connection writes again */
        c->write->ready = 1;
        c->write->active = 0;
    }
#endif

    ctx = ngx_http_vantomer_get_ctx(r);
    if (ctx != NULL) {
        vtm_conn_threaded(ctx->conn, 0);
        if (!c->error) {
            (void) ngx_http_vantomer_send_answer(r, ctx, ctx->task_rc);
        }
    }

    if (r->done) {
        c->write->handler(c->write);
    } else {
        r->write_event_handler(r);
        ngx_http_run_posted_requests(c);
    }
}

ngx_int_t
ngx_http_vantomer_end_in_pool(ngx_http_request_t *r, ngx_http_vantomer_ctx_t *ctx)
{
    ngx_http_vantomer_main_conf_t *mcf;
    ngx_thread_task_t *task;

    mcf = ngx_http_get_module_main_conf(r, ngx_http_vantomer_module);
    if (mcf->pool == NULL || r->aio
        || (ctx->held_bytes < VTM_INLINE_BYTES && !ctx->sets_cookies && !ctx->needs_stock))
    {
        return NGX_DECLINED;
    }
    task = ngx_thread_task_alloc(r->pool, sizeof(ngx_http_vantomer_ctx_t *));
    if (task == NULL || vtm_conn_prefetch(ctx->conn) != VTM_OK) {
        return NGX_DECLINED; /* converted inline instead */
    }
    *(ngx_http_vantomer_ctx_t **) task->ctx = ctx;
    task->handler = ngx_http_vantomer_thread_handler;
    task->event.data = r;
    task->event.handler = ngx_http_vantomer_thread_event_handler;

    vtm_conn_threaded(ctx->conn, 1);
    ctx->task = task;
    ctx->ended = 1;
    ctx->mode = VTM_CONVERTING;
    r->main->blocked++;
    r->aio = 1;
    r->buffered |= NGX_HTTP_VANTOMER_BUFFERED;
    if (ngx_http_vantomer_waiting.next == NULL) {
        ngx_queue_init(&ngx_http_vantomer_waiting);
    }
    ngx_queue_insert_tail(&ngx_http_vantomer_waiting, &ctx->waiting);
    ngx_http_vantomer_run_waiting(mcf->pool);
    return NGX_AGAIN;
}

static void
ngx_http_vantomer_preproc_handler(void *data, ngx_log_t *log)
{
    ngx_http_vantomer_ctx_t *ctx = *(ngx_http_vantomer_ctx_t **) data;

    ctx->task_rc = vtm_preproc_headers(ctx->conn);
}

/* The phases go on from the filter's phase handler, which now passes. */
static void
ngx_http_vantomer_preproc_event_handler(ngx_event_t *ev)
{
    ngx_http_request_t *r = ev->data;
    ngx_connection_t *c = r->connection;
    ngx_http_vantomer_ctx_t *ctx;
    ngx_int_t rc;

    ngx_http_set_log_request(c->log, r);
    r->main->blocked--;
    ctx = ngx_http_vantomer_get_ctx(r);
    ctx->preproc_running = 0;
    vtm_conn_threaded(ctx->conn, 0);

    if (c->error) {
        /* Ended meanwhile: nginx finishes it through its own handler. */
        r->write_event_handler(r);
    } else {
        rc = ngx_http_vantomer_after_preproc(r, ctx, ctx->task_rc);
        if (rc == NGX_DECLINED) {
            ngx_http_core_run_phases(r);
        } else if (rc != NGX_DONE) {
            ngx_http_finalize_request(r, rc);
        }
    }
    ngx_http_finalize_request(r, NGX_DONE); /* the reference taken at posting */
    ngx_http_run_posted_requests(c);
}

/* Whether the URL holds the mark: memchr finds its first byte faster than
 * ngx_strnstr or memmem search a short URL, and every request asks. */
static ngx_uint_t
ngx_http_vantomer_has_mark(ngx_str_t *url, ngx_str_t *mark)
{
    u_char *p, *last;

    if (mark->len == 0 || url->len < mark->len) {
        return 0;
    }
    last = url->data + url->len - mark->len + 1;
    for (p = url->data; (p = memchr(p, mark->data[0], last - p)) != NULL; p++) {
        if (ngx_memcmp(p, mark->data, mark->len) == 0) {
            return 1;
        }
    }
    return 0;
}

ngx_int_t
ngx_http_vantomer_preproc_in_pool(ngx_http_request_t *r, ngx_http_vantomer_ctx_t *ctx)
{
    ngx_http_vantomer_main_conf_t *mcf;
    ngx_thread_task_t *task;

    mcf = ngx_http_get_module_main_conf(r, ngx_http_vantomer_module);
    if (!ngx_http_vantomer_has_mark(&r->unparsed_uri, &mcf->key_mark)) {
        return NGX_DECLINED;
    }
    ctx->needs_stock = 1;
    if (mcf->pool == NULL) {
        return NGX_DECLINED;
    }
    task = ngx_thread_task_alloc(r->pool, sizeof(ngx_http_vantomer_ctx_t *));
    if (task == NULL || vtm_conn_prefetch(ctx->conn) != VTM_OK) {
        return NGX_DECLINED;
    }
    *(ngx_http_vantomer_ctx_t **) task->ctx = ctx;
    task->handler = ngx_http_vantomer_preproc_handler;
    task->event.data = r;
    task->event.handler = ngx_http_vantomer_preproc_event_handler;

    vtm_conn_threaded(ctx->conn, 1);
    if (ngx_thread_task_post(mcf->pool, task) != NGX_OK) {
        vtm_conn_threaded(ctx->conn, 0);
        return NGX_DECLINED;
    }
    ctx->preproc_running = 1;
    r->main->blocked++;
    r->main->count++;
    return NGX_DONE;
}

#else

ngx_int_t
ngx_http_vantomer_end_in_pool(ngx_http_request_t *r, ngx_http_vantomer_ctx_t *ctx)
{
    return NGX_DECLINED;
}

ngx_int_t
ngx_http_vantomer_preproc_in_pool(ngx_http_request_t *r, ngx_http_vantomer_ctx_t *ctx)
{
    return NGX_DECLINED;
}

#endif
