/* A program whose status callback closes its own device, or destroys the
   handle it was opened from, on the library's thread: the call works and the
   program ends normally. */
#define _POSIX_C_SOURCE 200809L
#include "connection/talmer.h"

#include <pthread.h>
#include <stdio.h>
#include <stdlib.h>

static int failures;

#define CHECK(condition)                                                               \
  do {                                                                                 \
    if (!(condition)) {                                                                \
      fprintf(stderr, "%s:%d: check failed: %s\n", __FILE__, __LINE__, #condition);    \
      ++failures;                                                                      \
    }                                                                                  \
  } while (0)

static DeviceHandle handle;
static Device device;
static int destroyHandle; /* else close the device */
static ErrorCode result = -1;
/* pthreads rather than C11 threads: ThreadSanitizer sees these locks. */
static pthread_mutex_t lock = PTHREAD_MUTEX_INITIALIZER;
static pthread_cond_t done = PTHREAD_COND_INITIALIZER;

static void onStatus(uint32_t value) {
  (void)value;
  pthread_mutex_lock(&lock);
  if (result == -1)
    result = destroyHandle ? FPD_DestroyDeviceHandle(handle) : FPD_CloseDevice(device);
  pthread_cond_signal(&done);
  pthread_mutex_unlock(&lock);
}

static void closeFromTheCallback(int destroy) {
  destroyHandle = destroy;
  result = -1;
  handle = FPD_CreateDeviceHandle(FPD_DEVICE_SERIAL);
  CHECK(handle != NULL);
  FPD_SetDeviceParam(handle, FPD_PARAM_COM_SETTINGS, "COM1,9600,8,N,1,H");
  device = FPD_OpenDevice(handle);
  CHECK(device != NULL);
  CHECK(FPD_SetEventHandlingMode(device, FPD_EVENTS_CALLBACK) == 0);
  CHECK(FPD_SetCallback(device, onStatus) == 0);
  pthread_mutex_lock(&lock);
  while (result == -1)
    pthread_cond_wait(&done, &lock);
  pthread_mutex_unlock(&lock);
  CHECK(result == 0);
  /* The device is gone: calls on it fail, the callback comes no more. */
  int32_t global = 0, printer = 0;
  CHECK(FPD_GetPrnDeviceStatus(device, 1, &global, &printer) == 0x10002);
  CHECK(FPD_CloseDevice(device) == 0x10002);
  if (!destroy) CHECK(FPD_DestroyDeviceHandle(handle) == 0);
}

int main(void) {
  /* A status change at once, and one every millisecond after it. */
  const char *path = "callback_close_test.script";
  FILE *script = fopen(path, "w");
  CHECK(script != NULL);
  fputs("at 0 status 1 2 every 1 times 1000\n", script);
  fclose(script);
  setenv("TALMER_SIM_SCRIPT", path, 1);

  closeFromTheCallback(0);
  closeFromTheCallback(1);

  remove(path);
  if (failures) fprintf(stderr, "%d check(s) failed\n", failures);
  return failures == 0 ? 0 : 1;
}
