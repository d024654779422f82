/* The filter binding as nginx's C code sees it: a loaded filter module, and
 * one filter connection per client connection with the request and response
 * the filter works on. Nothing here throws or keeps nginx memory. */
#ifndef VANTOMER_BRIDGE_H
#define VANTOMER_BRIDGE_H

#include <stddef.h>

#ifdef __cplusplus
extern "C" {
#endif

typedef struct vtm_module vtm_module;
typedef struct vtm_conn vtm_conn;

/* What the exchange calls return. VTM_ERROR: the step failed and
 * vtm_conn_error says why; the request cannot go on through the filter. */
enum { VTM_OK = 0, VTM_ERROR = -1, VTM_HEAD_UNTOUCHED = 0, VTM_HEAD_TAKEN = 1, VTM_FINISHED = 2 };

typedef struct {
  int secure;
  const char* local_addr;
  unsigned local_port;
  const char* remote_addr;
  unsigned remote_port;
  const char* server_software;
} vtm_conn_info;

/* Looks a name up among the host's own variables; 0 when there is none. */
typedef int (*vtm_variable_fn)(void* data, const char* name, size_t name_len, const char** value,
                               size_t* value_len);

/* Receives one header field of a head nginx keeps; returns 0 to stop. */
typedef int (*vtm_field_fn)(void* visitor, const char* name, size_t name_len, const char* value,
                            size_t value_len);
/* Hands every field of such a head to field, in order, until it returns 0;
 * with a name_len, only those whose names have that length are needed. */
typedef void (*vtm_fields_fn)(void* data, size_t name_len, vtm_field_fn field, void* visitor);

/* Whether the module loads and GetFilterVersion accepts (tried in a child
 * process, so that nothing of the filter stays in the caller). */
int vtm_module_check(const char* path, char* error, size_t error_size);
/* Maps the file and calls GetFilterVersion; null with the reason on failure. */
vtm_module* vtm_module_load(const char* path, char* error, size_t error_size);
/* TerminateFilter, then the module is gone. */
void vtm_module_unload(vtm_module* module);

vtm_conn* vtm_conn_create(vtm_module* module, const vtm_conn_info* info);
void vtm_conn_destroy(vtm_conn* conn);

/* The request head, before the request-header notification. */
int vtm_request_begin(vtm_conn* conn, const char* method, size_t method_len, const char* url,
                      size_t url_len, const char* version, size_t version_len,
                      vtm_variable_fn variables, void* data);
/* The method the filter reads from now on. */
int vtm_request_method(vtm_conn* conn, const char* method, size_t method_len);
/* The request's fields, read where nginx keeps them until the filter
 * changes one (data must outlive the request). */
void vtm_request_fields(vtm_conn* conn, vtm_fields_fn fields, void* data);
/* The request-header notification: VTM_FINISHED when the filter ended the
 * request (what it wrote is in the output). */
int vtm_preproc_headers(vtm_conn* conn);
/* After it: the URL as the filter left it, whether it changed, the headers
 * (the filter's own copy, once they changed). */
int vtm_request_url(vtm_conn* conn, const char** url, size_t* len);
int vtm_request_headers_changed(vtm_conn* conn);
size_t vtm_request_header_count(vtm_conn* conn);
void vtm_request_header_at(vtm_conn* conn, size_t i, const char** name, size_t* name_len,
                           const char** value, size_t* value_len);

/* The response head as the application left it. */
int vtm_response_begin(vtm_conn* conn, unsigned status, const char* reason, size_t reason_len);
void vtm_response_fields(vtm_conn* conn, vtm_fields_fn fields, void* data);
/* The response notification and the head as raw data: whether the bytes
 * that went on are the head unchanged (VTM_HEAD_UNTOUCHED), or the filter
 * took or changed them (VTM_HEAD_TAKEN), or ended the request. */
int vtm_send_response(vtm_conn* conn);
/* Whether the blocks of this response still go to the filter as raw data. */
int vtm_conn_wants_raw_data(const vtm_conn* conn);
/* One block of the body as raw data; what the filter lets go on is appended
 * to the output. VTM_FINISHED when the filter ended the request. */
int vtm_raw_data(vtm_conn* conn, const char* data, size_t len);
int vtm_end_of_request(vtm_conn* conn);
/* The request is over (aborted: what the filter writes is dropped). */
void vtm_request_end(vtm_conn* conn, int aborted);

/* What the filter sent on since the output was last cleared. */
void vtm_output(vtm_conn* conn, const char** data, size_t* len);
void vtm_output_clear(vtm_conn* conn);
/* The output read as a response: VTM_OK when it holds a whole head; the
 * body is what follows it. */
int vtm_output_parse(vtm_conn* conn, unsigned* status, const char** body, size_t* body_len);
/* Why the last call that returned VTM_ERROR failed. */
const char* vtm_conn_error(const vtm_conn* conn);

/* A notification may run on a pool thread, where the host's own variables
 * cannot be read: vtm_conn_prefetch reads on the event loop every host
 * variable the filter has asked for so far in this process, and copies the
 * header fields out of nginx's lists; while vtm_conn_threaded is on the
 * filter gets those values (and no others). */
int vtm_conn_prefetch(vtm_conn* conn);
void vtm_conn_threaded(vtm_conn* conn, int threaded);
size_t vtm_output_header_count(vtm_conn* conn);
void vtm_output_header_at(vtm_conn* conn, size_t i, const char** name, size_t* name_len,
                          const char** value, size_t* value_len);

#ifdef __cplusplus
}
#endif

#endif
