/*
 * talmer.h - the fiscal printer's device library interface.
 *
 * A program drives the printer in three kinds of handle:
 *
 *   DeviceHandle  the configuration object: created for a transport, given its
 *                 settings with FPD_SetDeviceParam, opened, destroyed at the end.
 *   Device        the open printer, returned by FPD_OpenDevice: requests, status
 *                 queries, the response queue and notifications work on it.
 *   Request       one command to the printer: created, given parameters, posted,
 *                 awaited, its status and response fields read, destroyed.
 *
 * Handles are opaque; null means failure. Every function checks its arguments
 * first: a null or already destroyed handle, a null text or a call out of order
 * gives an error code (or null), never undefined behaviour. The library never
 * writes past a buffer that it is given.
 *
 * Texts are NUL-terminated, single-byte code page 1250 (Windows Central
 * European). Integers are 32-bit. An ErrorCode is 0 on success; its Polish
 * description comes from FPD_GetErrorString.
 *
 * Threads: a Device and everything made from it belong to the thread that
 * opened it; calls on one Device must not overlap. FPD_GetErrorString may be
 * called from any thread. The status callback of FPD_SetCallback runs on a
 * thread of the library, never on the caller's, one call at a time, and never
 * after FPD_CloseDevice has returned (unless the callback itself closed the
 * device). A callback may call any function of this header: it may query the
 * status, and it may close its device or destroy its handle, after which it
 * should return without using them; a callback that takes its time holds up
 * no request, but the changes that come meanwhile are bounded (see
 * docs/virtual-printer.md, "Notifications").
 *
 * The header compiles as C11 and as C++.
 */
#ifndef TALMER_H
#define TALMER_H

#include <stdint.h>

#if defined(_WIN32)
#if defined(TALMER_BUILDING_LIBRARY)
#define TALMER_API __declspec(dllexport)
#else
#define TALMER_API __declspec(dllimport)
#endif
#elif defined(__GNUC__)
#define TALMER_API __attribute__((visibility("default")))
#else
#define TALMER_API
#endif

#ifdef __cplusplus
extern "C" {
#endif

/* ---- Handles and codes -------------------------------------------------- */

typedef struct FPD_DeviceHandle *DeviceHandle;
typedef struct FPD_Device *Device;
typedef struct FPD_Request *Request;

/** A status of the library or of the printer: 0 is success. */
typedef int32_t ErrorCode;

/** The transport of a DeviceHandle. */
typedef int32_t DeviceType;
#define FPD_DEVICE_SERIAL 1
#define FPD_DEVICE_USB 2

/* Device parameters for FPD_SetDeviceParam and FPD_GetDeviceParam. */
/** Serial settings, text: "port,baud,databits,parity,stopbits,flow",
    for example "COM1,9600,8,N,1,H". Checked when the device is opened. */
#define FPD_PARAM_COM_SETTINGS 0x20001u
/** Serial number of the USB device to open, text. */
#define FPD_PARAM_USB_SERIAL 0x20007u
/** Read only: the serial numbers of the USB devices present, text, read into
    a buffer of FPD_USB_DEVICES_SIZE bytes. */
#define FPD_PARAM_USB_DEVICES 0x20008u
/** 32-bit integer: the status notification level (0 none; 1 and above report
    status changes). */
#define FPD_PARAM_2000A 0x2000Au
/** One byte, 0 or 1: the device is reached through a modem. */
#define FPD_PARAM_2000B 0x2000Bu
/** Modem initialisation string, text (AT commands). */
#define FPD_PARAM_MODEM_INIT 0x2000Cu
/** Modem dial string, text (AT commands). */
#define FPD_PARAM_MODEM_DIAL 0x2000Du

/** Size of the buffer that FPD_GetDeviceParam fills for text parameters. */
#define FPD_USB_DEVICES_SIZE 1024

/* Post modes of FPD_PostRequest. */
/** The caller waits for the request and destroys it. */
#define FPD_POST_NORMAL 0
/** Send and forget: the request belongs to the library after the post, and
    comes back through the response queue (FPD_GetNextResponse). */
#define FPD_POST_SPOOLSPECIAL 2

/* Status notification modes of FPD_SetEventHandlingMode. */
#define FPD_EVENTS_EVENT_OBJECT 1
#define FPD_EVENTS_CALLBACK 4

/** FPD_WaitForRequestCompleted: the request did not complete in time. */
#define FPD_WAIT_NO_RESPONSE 0x10003
/** Request status: done, with a warning (see docs/virtual-printer.md). */
#define FPD_STATUS_10004 0x10004
/** FPD_ModemStatus: the modem connection is established. */
#define FPD_MODEM_CONNECTED 100

/** Size of the name buffer of FPD_PopResponseValue: 15 characters and the
    terminating zero. */
#define FPD_RESPONSE_NAME_SIZE 16

/** The status notification function: global status in the high 16 bits,
    printer status in the low 16 bits. */
typedef void (*FPD_StatusCallback)(uint32_t value);

/* ---- Device handle ------------------------------------------------------ */

/** Creates a configuration object for FPD_DEVICE_SERIAL or FPD_DEVICE_USB.
    Returns null for another type or when the library cannot make one. The
    caller destroys it with FPD_DestroyDeviceHandle. */
TALMER_API DeviceHandle FPD_CreateDeviceHandle(DeviceType deviceType);

/** Destroys a handle. A device opened from it must be closed first.
    Errors: invalid handle. */
TALMER_API ErrorCode FPD_DestroyDeviceHandle(DeviceHandle handle);

/** Sets the library's diagnostics on standard error: negative is silent, 0
    tells only why opening or dialling failed, positive tells every call that
    fails, with its code and description. Calls on no live handle follow the
    level set last. Errors: invalid handle. */
TALMER_API ErrorCode FPD_SetDebugLevel(DeviceHandle handle, int32_t level);

/** Gives a device parameter (FPD_PARAM_...). value is the address of the value:
    a NUL-terminated text, a 32-bit integer or one byte, as the parameter says.
    The library copies it. Text settings are checked when the device is
    opened. Errors: invalid handle, null value, unknown or read-only id. */
TALMER_API ErrorCode FPD_SetDeviceParam(DeviceHandle handle, uint32_t id,
                                        const void *value);

/** Reads a device parameter into buffer: a text parameter into a buffer of
    FPD_USB_DEVICES_SIZE bytes (cut to fit, always terminated), an integer
    into a 32-bit integer, a flag into one byte. Errors: invalid handle, null
    buffer, unknown id; FPD_PARAM_USB_DEVICES may fail on a USB handle when
    the devices cannot be listed. */
TALMER_API ErrorCode FPD_GetDeviceParam(DeviceHandle handle, uint32_t id, void *buffer);

/** Opens the printer with the handle's settings. Returns null on failure:
    FPD_GetError(handle) then tells why. One device per handle at a time.
    The device is closed with FPD_CloseDevice. */
TALMER_API Device FPD_OpenDevice(DeviceHandle handle);

/** Closes the device: requests still queued or unclaimed are freed, no
    notification is delivered after it returns. Requests that the caller
    still holds become invalid. Errors: invalid device. */
TALMER_API ErrorCode FPD_CloseDevice(Device device);

/** The last error of a DeviceHandle (after a failed open or dial) or of a
    Device (after a failed request creation). 0 when there was none or the
    argument is not a live handle. */
TALMER_API ErrorCode FPD_GetError(void *handleOrDevice);

/** The description of a code in a language ("pl": Polish, code page 1250).
    Returns null for a code or language the library doesn't know. The text
    belongs to the library and stays valid until the program ends; the
    caller never frees it. Any thread. */
TALMER_API const char *FPD_GetErrorString(ErrorCode code, const char *language);

/* ---- Modem -------------------------------------------------------------- */

/** Dials the printer through the modem of an open device (FPD_PARAM_2000B
    set, the AT strings given). mode 1 dials. Blocks until connected or
    failed. Errors: not open, not a modem, bad AT strings, no answer;
    FPD_GetError(handle) gives the same code. */
TALMER_API ErrorCode FPD_ModemDial(DeviceHandle handle, int32_t mode);

/** The modem state of an open device: 0 idle, 10 ringing, 50 negotiating,
    FPD_MODEM_CONNECTED when the connection is up; negative on error. */
TALMER_API int32_t FPD_ModemStatus(DeviceHandle handle);

/* ---- Printer status and notifications ----------------------------------- */

/** Queries the status pair. mode 1 asks the printer. On success writes both
    outputs; on failure writes neither. Errors: invalid device or pointer,
    the printer not answering. */
TALMER_API ErrorCode FPD_GetPrnDeviceStatus(Device device, int32_t mode,
                                            int32_t *globalStatus,
                                            int32_t *printerStatus);

/** Chooses how status changes are reported: FPD_EVENTS_EVENT_OBJECT or
    FPD_EVENTS_CALLBACK. Errors: invalid device, unknown mode. */
TALMER_API ErrorCode FPD_SetEventHandlingMode(Device device, int32_t mode);

/** The function called on each status change in FPD_EVENTS_CALLBACK mode, on
    a thread of the library. null withdraws it. Errors: invalid device. */
TALMER_API ErrorCode FPD_SetCallback(Device device, FPD_StatusCallback onStatus);

/** The device's event object, signalled on each status change in
    FPD_EVENTS_EVENT_OBJECT mode (a Win32 event handle on Windows). It belongs
    to the device: the caller waits on it and resets it, and never closes it.
    null for an invalid device. */
TALMER_API void *FPD_GetEvent(Device device);

/* ---- Requests ----------------------------------------------------------- */

/** Creates a request by its name ("trinit", "papfeed", ...). Returns null
    for an unknown name or an invalid device; FPD_GetError(device) tells why.
    The caller destroys it with FPD_DestroyRequest, unless it is posted in
    FPD_POST_SPOOLSPECIAL mode. */
TALMER_API Request FPD_CreateRequest(Device device, const char *name);

/** Creates a request with its parameters as a ParamList: lines "key,value"
    joined by single line feeds, no line feed after the last. A malformed
    list gives null, as an unknown name does. */
TALMER_API Request FPD_CreateRequestEx(Device device, const char *name,
                                       const char *paramList);

/** Adds one parameter; the value may hold line feeds. Errors: invalid
    request, null texts, an empty key, the request already posted. */
TALMER_API ErrorCode FPD_PushRequestParam(Request request, const char *key,
                                          const char *value);

/** Posts the request to the printer in FPD_POST_NORMAL or
    FPD_POST_SPOOLSPECIAL mode. Errors: invalid request, unknown mode,
    posted already. */
TALMER_API ErrorCode FPD_PostRequest(Request request, int32_t mode);

/** Waits up to the given time for a posted request. Returns 0 when it has
    completed, FPD_WAIT_NO_RESPONSE when the time ran out, or an error
    (invalid request, not posted). */
TALMER_API ErrorCode FPD_WaitForRequestCompleted(Request request,
                                                 uint32_t milliseconds);

/** The printer's answer to a completed request: 0 done, FPD_STATUS_10004
    done with a warning, another code when refused. Errors: invalid request,
    not completed yet. */
TALMER_API ErrorCode FPD_GetRequestStatus(Request request);

/** Copies the response field named field into value, a buffer of size bytes,
    cut to fit and always terminated (nothing is written when size is 0).
    Returns 0 when the field was found. */
TALMER_API ErrorCode FPD_GetResponseValue(Request request, const char *field,
                                          char *value, uint32_t size);

/** The number of response fields not yet popped; 0 for an invalid request. */
TALMER_API int32_t FPD_GetResponseValueCount(Request request);

/** Takes the next response field off: its name into name, a buffer of
    FPD_RESPONSE_NAME_SIZE bytes (cut to 15 characters), its value into
    value, a buffer of size bytes (cut to fit). Returns 0 while a field is
    taken, nonzero when none is left. */
TALMER_API ErrorCode FPD_PopResponseValue(Request request, char *name, char *value,
                                          uint32_t size);

/** Destroys a request in any state: also while the printer works on it or
    after a wait given up; its result is then discarded. Errors: invalid
    request. */
TALMER_API ErrorCode FPD_DestroyRequest(Request request);

/* ---- Response queue ----------------------------------------------------- */

/** The number of spooled requests whose results wait in the queue. */
TALMER_API int32_t FPD_GetResponseCount(Device device);

/** Takes the oldest spooled request off the queue, completed, or null when
    the queue is empty. The caller then owns it and destroys it. */
TALMER_API Request FPD_GetNextResponse(Device device);

#ifdef __cplusplus
}
#endif

#endif /* TALMER_H */
