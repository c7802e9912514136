/* A C11 client of the device library that includes nothing but talmer.h and
   the C library: the interface stands alone in C, and libtalmer links. */
#include "connection/talmer.h"

#include <stdio.h>
#include <string.h>

static int failures;

#define CHECK(condition)                                                               \
  do {                                                                                 \
    if (!(condition)) {                                                                \
      fprintf(stderr, "%s:%d: check failed: %s\n", __FILE__, __LINE__, #condition);    \
      ++failures;                                                                      \
    }                                                                                  \
  } while (0)

static Device openSerial(DeviceHandle *handle) {
  *handle = FPD_CreateDeviceHandle(FPD_DEVICE_SERIAL);
  CHECK(*handle != NULL);
  FPD_SetDeviceParam(*handle, FPD_PARAM_COM_SETTINGS, "COM1,9600,8,N,1,H");
  Device device = FPD_OpenDevice(*handle);
  CHECK(device != NULL);
  return device;
}

static void closeSerial(DeviceHandle handle, Device device) {
  CHECK(FPD_CloseDevice(device) == 0);
  CHECK(FPD_DestroyDeviceHandle(handle) == 0);
}

/* Posts a paper feed of the given lines, waits and gives its status. */
static ErrorCode feed(Device device, const char *lines, char *cm, uint32_t size) {
  Request request = FPD_CreateRequest(device, "papfeed");
  CHECK(request != NULL);
  CHECK(FPD_PushRequestParam(request, "ln", lines) == 0);
  CHECK(FPD_PostRequest(request, FPD_POST_NORMAL) == 0);
  CHECK(FPD_WaitForRequestCompleted(request, 10000) == 0);
  ErrorCode status = FPD_GetRequestStatus(request);
  cm[0] = '\0';
  FPD_GetResponseValue(request, "cm", cm, size);
  CHECK(FPD_DestroyRequest(request) == 0);
  return status;
}

static void feedsPaper(void) {
  DeviceHandle handle;
  Device device = openSerial(&handle);
  char cm[128];
  CHECK(feed(device, "1", cm, sizeof cm) == 0);
  ErrorCode refused = feed(device, "100", cm, sizeof cm);
  CHECK(refused != 0);
  CHECK(FPD_GetErrorString(refused, "pl") != NULL);
  CHECK(strcmp(cm, "papfeed") == 0);
  closeSerial(handle, device);
}

static void readsTheClock(void) {
  DeviceHandle handle;
  Device device = openSerial(&handle);
  Request request = FPD_CreateRequest(device, "rtcget");
  CHECK(FPD_PostRequest(request, FPD_POST_NORMAL) == 0);
  CHECK(FPD_WaitForRequestCompleted(request, 10000) == 0);
  CHECK(FPD_GetRequestStatus(request) == 0);
  char date[64] = "";
  CHECK(FPD_GetResponseValue(request, "da", date, sizeof date) == 0);
  /* YYYY-MM-DD,HH:MM */
  CHECK(strlen(date) == 16 && date[4] == '-' && date[10] == ',' && date[13] == ':');
  FPD_DestroyRequest(request);
  closeSerial(handle, device);
}

static void popsEveryVatRate(void) {
  DeviceHandle handle;
  Device device = openSerial(&handle);
  Request request = FPD_CreateRequest(device, "vatget");
  CHECK(FPD_PostRequest(request, FPD_POST_NORMAL) == 0);
  CHECK(FPD_WaitForRequestCompleted(request, 10000) == 0);
  int32_t count = FPD_GetResponseValueCount(request);
  CHECK(count > 0);
  char name[FPD_RESPONSE_NAME_SIZE];
  char value[32];
  int32_t popped = 0;
  while (FPD_PopResponseValue(request, name, value, sizeof value) == 0)
    ++popped;
  CHECK(popped == count);
  CHECK(FPD_GetResponseValueCount(request) == 0);
  FPD_DestroyRequest(request);
  closeSerial(handle, device);
}

/* Five spooled feeds, the third faulty: five responses in order. */
static void spoolsFeeds(void) {
  DeviceHandle handle;
  Device device = openSerial(&handle);
  for (int i = 0; i < 5; ++i) {
    Request request = FPD_CreateRequest(device, "papfeed");
    FPD_PushRequestParam(request, "ln", i == 2 ? "100" : "1");
    CHECK(FPD_PostRequest(request, FPD_POST_SPOOLSPECIAL) == 0);
  }
  /* A normal request after them completes after all five. */
  char cm[128];
  CHECK(feed(device, "1", cm, sizeof cm) == 0);
  CHECK(FPD_GetResponseCount(device) == 5);
  for (int i = 0; i < 5; ++i) {
    Request response = FPD_GetNextResponse(device);
    CHECK(response != NULL);
    ErrorCode status = FPD_GetRequestStatus(response);
    CHECK((status != 0) == (i == 2));
    if (i == 2) {
      CHECK(FPD_GetResponseValue(response, "cm", cm, sizeof cm) == 0);
      CHECK(strcmp(cm, "papfeed") == 0);
    }
    FPD_DestroyRequest(response);
  }
  CHECK(FPD_GetNextResponse(device) == NULL);
  closeSerial(handle, device);
}

static void opensListedUsb(void) {
  DeviceHandle handle = FPD_CreateDeviceHandle(FPD_DEVICE_USB);
  char listing[FPD_USB_DEVICES_SIZE];
  CHECK(FPD_GetDeviceParam(handle, FPD_PARAM_USB_DEVICES, listing) == 0);
  char serial[FPD_USB_DEVICES_SIZE];
  strcpy(serial, listing);
  char *separator = strchr(serial, ';');
  if (separator) *separator = '\0';
  FPD_SetDeviceParam(handle, FPD_PARAM_USB_SERIAL, serial);
  Device device = FPD_OpenDevice(handle);
  CHECK(device != NULL);
  closeSerial(handle, device);
}

static void refusesInvalidSerialSettings(void) {
  DeviceHandle handle = FPD_CreateDeviceHandle(FPD_DEVICE_SERIAL);
  FPD_SetDeviceParam(handle, FPD_PARAM_COM_SETTINGS, "COM1,12345,9,X,3,Q");
  CHECK(FPD_OpenDevice(handle) == NULL);
  ErrorCode error = FPD_GetError(handle);
  CHECK(error != 0);
  CHECK(FPD_GetErrorString(error, "pl") != NULL);
  FPD_DestroyDeviceHandle(handle);
}

int main(void) {
  feedsPaper();
  readsTheClock();
  popsEveryVatRate();
  spoolsFeeds();
  opensListedUsb();
  refusesInvalidSerialSettings();
  if (failures) fprintf(stderr, "%d check(s) failed\n", failures);
  return failures ? 1 : 0;
}
