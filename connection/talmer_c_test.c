/* A C11 client of the device library that includes nothing but talmer.h and
   the C library: the interface stands alone in C, and libtalmer links. */
#include <stdio.h>

#include "connection/talmer.h"

static int failures;

#define CHECK(condition)                                                       \
  do {                                                                         \
    if (!(condition)) {                                                        \
      fprintf(stderr, "%s:%d: check failed: %s\n", __FILE__, __LINE__,         \
              #condition);                                                     \
      ++failures;                                                              \
    }                                                                          \
  } while (0)

static void opensSerialDefaults(void) {
  DeviceHandle handle = FPD_CreateDeviceHandle(FPD_DEVICE_SERIAL);
  CHECK(handle != NULL);
  FPD_SetDeviceParam(handle, FPD_PARAM_COM_SETTINGS, "COM1,9600,8,N,1,H");
  Device device = FPD_OpenDevice(handle);
  CHECK(device != NULL);
  CHECK(FPD_CloseDevice(device) == 0);
  CHECK(FPD_DestroyDeviceHandle(handle) == 0);
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
  opensSerialDefaults();
  refusesInvalidSerialSettings();
  if (failures)
    fprintf(stderr, "%d check(s) failed\n", failures);
  return failures ? 1 : 0;
}
