/*
 * The HTTP filter interface between a web server and a filter module.
 *
 * Record layouts and field order are those of the public IIS httpfilt.h, with
 * Linux types and the default calling convention. A host builds against this
 * header alone: it loads a module, resolves GetFilterVersion, HttpFilterProc
 * and TerminateFilter, and fills these records.
 */
#ifndef VANTOMER_HTTPFILT_H
#define VANTOMER_HTTPFILT_H

#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

typedef uint32_t DWORD;
typedef int32_t BOOL;
typedef void* PVOID;
typedef void* LPVOID;
typedef char CHAR;
typedef char* LPSTR;
typedef uint32_t* LPDWORD;
typedef uintptr_t ULONG_PTR;

#ifndef TRUE
#define TRUE 1
#endif
#ifndef FALSE
#define FALSE 0
#endif

#define HTTP_FILTER_MAJOR 7
#define HTTP_FILTER_MINOR 0
#define HTTP_FILTER_REVISION ((DWORD)((HTTP_FILTER_MAJOR << 16) | HTTP_FILTER_MINOR))

#define SF_MAX_USERNAME (256 + 1)
#define SF_MAX_PASSWORD (256 + 1)
#define SF_MAX_AUTH_TYPE (32 + 1)
#define SF_MAX_FILTER_DESC_LEN (256 + 1)

/* Requests a filter may make of the server through ServerSupportFunction. */
enum SF_REQ_TYPE {
  SF_REQ_SEND_RESPONSE_HEADER,
  SF_REQ_ADD_HEADERS_ON_DENIAL,
  SF_REQ_SET_NEXT_READ_SIZE,
  SF_REQ_SET_PROXY_INFO,
  SF_REQ_GET_CONNID,
  SF_REQ_SET_CERTIFICATE_INFO,
  SF_REQ_GET_PROPERTY,
  SF_REQ_NORMALIZE_URL,
  SF_REQ_DISABLE_NOTIFICATIONS
};

/* Values HttpFilterProc returns. */
enum SF_STATUS_TYPE {
  SF_STATUS_REQ_FINISHED = 0x8000000,
  SF_STATUS_REQ_FINISHED_KEEP_CONN,
  SF_STATUS_REQ_NEXT_NOTIFICATION,
  SF_STATUS_REQ_HANDLED_NOTIFICATION,
  SF_STATUS_REQ_ERROR,
  SF_STATUS_REQ_READ_NEXT
};

/* Notification flags, given back in HTTP_FILTER_VERSION.dwFlags. */
#define SF_NOTIFY_SECURE_PORT 0x00000001
#define SF_NOTIFY_NONSECURE_PORT 0x00000002
#define SF_NOTIFY_READ_RAW_DATA 0x00008000
#define SF_NOTIFY_PREPROC_HEADERS 0x00004000
#define SF_NOTIFY_AUTHENTICATION 0x00002000
#define SF_NOTIFY_URL_MAP 0x00001000
#define SF_NOTIFY_ACCESS_DENIED 0x00000800
#define SF_NOTIFY_SEND_RESPONSE 0x00000040
#define SF_NOTIFY_SEND_RAW_DATA 0x00000400
#define SF_NOTIFY_LOG 0x00000200
#define SF_NOTIFY_END_OF_REQUEST 0x00000080
#define SF_NOTIFY_END_OF_NET_SESSION 0x00000100
#define SF_NOTIFY_AUTH_COMPLETE 0x04000000

#define SF_NOTIFY_ORDER_HIGH 0x00080000
#define SF_NOTIFY_ORDER_MEDIUM 0x00040000
#define SF_NOTIFY_ORDER_LOW 0x00020000
#define SF_NOTIFY_ORDER_DEFAULT SF_NOTIFY_ORDER_LOW
#define SF_NOTIFY_ORDER_MASK (SF_NOTIFY_ORDER_HIGH | SF_NOTIFY_ORDER_MEDIUM | SF_NOTIFY_ORDER_LOW)

/* clang-format off */
/* One per connection; the host fills the callbacks, the filter owns pFilterContext. */
typedef struct _HTTP_FILTER_CONTEXT {
  DWORD cbSize;
  DWORD Revision;
  PVOID ServerContext;
  DWORD ulReserved;
  BOOL fIsSecurePort;
  PVOID pFilterContext;

  BOOL (*GetServerVariable)(struct _HTTP_FILTER_CONTEXT *pfc, LPSTR lpszVariableName,
                            LPVOID lpvBuffer, LPDWORD lpdwSize);
  BOOL (*AddResponseHeaders)(struct _HTTP_FILTER_CONTEXT *pfc, LPSTR lpszHeaders,
                             DWORD dwReserved);
  BOOL (*WriteClient)(struct _HTTP_FILTER_CONTEXT *pfc, LPVOID Buffer, LPDWORD lpdwBytes,
                      DWORD dwReserved);
  void *(*AllocMem)(struct _HTTP_FILTER_CONTEXT *pfc, DWORD cbSize, DWORD dwReserved);
  BOOL (*ServerSupportFunction)(struct _HTTP_FILTER_CONTEXT *pfc, enum SF_REQ_TYPE sfReq,
                                PVOID pData, ULONG_PTR ul1, ULONG_PTR ul2);
} HTTP_FILTER_CONTEXT, *PHTTP_FILTER_CONTEXT;

/* SF_NOTIFY_READ_RAW_DATA and SF_NOTIFY_SEND_RAW_DATA. */
typedef struct _HTTP_FILTER_RAW_DATA {
  PVOID pvInData;
  DWORD cbInData;
  DWORD cbInBuffer;
  DWORD dwReserved;
} HTTP_FILTER_RAW_DATA, *PHTTP_FILTER_RAW_DATA;

/* SF_NOTIFY_PREPROC_HEADERS; header names carry their trailing colon, "url" is the URL. */
typedef struct _HTTP_FILTER_PREPROC_HEADERS {
  BOOL (*GetHeader)(struct _HTTP_FILTER_CONTEXT *pfc, LPSTR lpszName, LPVOID lpvBuffer,
                    LPDWORD lpdwSize);
  BOOL (*SetHeader)(struct _HTTP_FILTER_CONTEXT *pfc, LPSTR lpszName, LPSTR lpszValue);
  BOOL (*AddHeader)(struct _HTTP_FILTER_CONTEXT *pfc, LPSTR lpszName, LPSTR lpszValue);
  DWORD HttpStatus;
  DWORD dwReserved;
} HTTP_FILTER_PREPROC_HEADERS, *PHTTP_FILTER_PREPROC_HEADERS;

/* SF_NOTIFY_SEND_RESPONSE shares the layout of the pre-processing record. */
typedef HTTP_FILTER_PREPROC_HEADERS HTTP_FILTER_SEND_RESPONSE;
typedef HTTP_FILTER_PREPROC_HEADERS *PHTTP_FILTER_SEND_RESPONSE;
/* clang-format on */

/* SF_NOTIFY_AUTHENTICATION. */
typedef struct _HTTP_FILTER_AUTHENT {
  CHAR* pszUser;
  DWORD cbUserBuff;
  CHAR* pszPassword;
  DWORD cbPasswordBuff;
} HTTP_FILTER_AUTHENT, *PHTTP_FILTER_AUTHENT;

/* SF_NOTIFY_URL_MAP. */
typedef struct _HTTP_FILTER_URL_MAP {
  const CHAR* pszURL;
  CHAR* pszPhysicalPath;
  DWORD cbPathBuff;
} HTTP_FILTER_URL_MAP, *PHTTP_FILTER_URL_MAP;

/* SF_NOTIFY_LOG. */
typedef struct _HTTP_FILTER_LOG {
  const CHAR* pszClientHostName;
  const CHAR* pszClientUserName;
  const CHAR* pszServerName;
  const CHAR* pszOperation;
  const CHAR* pszTarget;
  const CHAR* pszParameters;
  DWORD dwHttpStatus;
  DWORD dwWin32Status;
  DWORD dwBytesSent;
  DWORD dwBytesRecvd;
  DWORD msTimeForProcessing;
} HTTP_FILTER_LOG, *PHTTP_FILTER_LOG;

/* Given to GetFilterVersion once after the module is loaded. */
typedef struct _HTTP_FILTER_VERSION {
  DWORD dwServerFilterVersion;
  DWORD dwFilterVersion;
  CHAR lpszFilterDesc[SF_MAX_FILTER_DESC_LEN];
  DWORD dwFlags;
} HTTP_FILTER_VERSION, *PHTTP_FILTER_VERSION;

/* The three exports of a filter module. */
BOOL GetFilterVersion(HTTP_FILTER_VERSION* pVer);
DWORD HttpFilterProc(HTTP_FILTER_CONTEXT* pfc, DWORD notificationType, LPVOID pvNotification);
BOOL TerminateFilter(DWORD dwFlags);

typedef BOOL (*PFN_GETFILTERVERSION)(HTTP_FILTER_VERSION* pVer);
typedef DWORD (*PFN_HTTPFILTERPROC)(HTTP_FILTER_CONTEXT* pfc, DWORD notificationType,
                                    LPVOID pvNotification);
typedef BOOL (*PFN_TERMINATEFILTER)(DWORD dwFlags);

#ifdef __cplusplus
}
#endif

#endif /* VANTOMER_HTTPFILT_H */
