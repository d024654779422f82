/* The module's configuration and lifecycle: its directives and the filter
 * loaded in each worker. */

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

vtm_module **ngx_http_vantomer_modules;
ngx_uint_t ngx_http_vantomer_nmodules;

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
