/* A C program at debug level 1 that makes ten different calls fail: the
   library writes one line on standard error for each, naming the function and
   the code; at level -2 it writes nothing. The program sends its own standard
   error to a file to read the lines back. */
#include "connection/talmer.h"

#include <stdio.h>
#include <string.h>

static int failures;

#define CHECK(condition)                                                               \
  do {                                                                                 \
    if (!(condition)) {                                                                \
      printf("%s:%d: check failed: %s\n", __FILE__, __LINE__, #condition);             \
      ++failures;                                                                      \
    }                                                                                  \
  } while (0)

/* The lines expected at level 1, in the order of the calls below. */
static const char *const expected[] = {
    "libtalmer: FPD_PostRequest: 65537 ",             /* a bad post mode */
    "libtalmer: FPD_WaitForRequestCompleted: 65541 ", /* a wait before the post */
    "libtalmer: FPD_GetRequestStatus: 65554 ",        /* the status of an unposted one */
    "libtalmer: FPD_SetDeviceParam: 65537 ",          /* an unknown parameter id */
    "libtalmer: FPD_PushRequestParam: 65537 ",        /* a null text */
    "libtalmer: FPD_PostRequest: 65538 ",             /* a destroyed handle */
    "libtalmer: FPD_CreateRequest: 65542 ",           /* an unknown request name */
    "libtalmer: FPD_CreateRequestEx: 65543 ",         /* a malformed ParamList */
    "libtalmer: FPD_SetEventHandlingMode: 65537 ",    /* a bad event mode */
    "libtalmer: FPD_ModemDial: 65550 ",               /* a modem without 2000B */
};
enum { kExpected = sizeof expected / sizeof expected[0] };

static void failTenCalls(int32_t level) {
  DeviceHandle handle = FPD_CreateDeviceHandle(FPD_DEVICE_SERIAL);
  CHECK(FPD_SetDebugLevel(handle, level) == 0);
  FPD_SetDeviceParam(handle, FPD_PARAM_COM_SETTINGS, "COM1,9600,8,N,1,H");
  Device device = FPD_OpenDevice(handle);
  CHECK(device != NULL);
  Request request = FPD_CreateRequest(device, "papfeed");
  CHECK(FPD_PostRequest(request, 7) == 0x10001);
  CHECK(FPD_WaitForRequestCompleted(request, 10) == 0x10005);
  CHECK(FPD_GetRequestStatus(request) == 0x10012);
  CHECK(FPD_SetDeviceParam(handle, 0x12345u, "x") == 0x10001);
  CHECK(FPD_PushRequestParam(request, NULL, "1") == 0x10001);
  CHECK(FPD_DestroyRequest(request) == 0);
  CHECK(FPD_PostRequest(request, FPD_POST_NORMAL) == 0x10002);
  CHECK(FPD_CreateRequest(device, "nosuch") == NULL);
  CHECK(FPD_CreateRequestEx(device, "papfeed", "ln") == NULL);
  CHECK(FPD_SetEventHandlingMode(device, 3) == 0x10001);
  CHECK(FPD_ModemDial(handle, 1) == 0x1000e);
  CHECK(FPD_CloseDevice(device) == 0);
  CHECK(FPD_DestroyDeviceHandle(handle) == 0);
}

/* The lines of the file; at most 32 of 256 bytes. */
static int readLines(const char *path, char lines[32][256]) {
  FILE *file = fopen(path, "r");
  int count = 0;
  if (file == NULL) return -1;
  while (count < 32 && fgets(lines[count], sizeof lines[count], file) != NULL)
    ++count;
  fclose(file);
  return count;
}

int main(int argc, char **argv) {
  const char *path = argc > 1 ? argv[1] : "debug_level_test.stderr";
  static char lines[32][256];

  CHECK(freopen(path, "w", stderr) != NULL);
  failTenCalls(1);
  fflush(stderr);
  int count = readLines(path, lines);
  CHECK(count == kExpected);
  for (int i = 0; i < count && i < kExpected; ++i) {
    if (strncmp(lines[i], expected[i], strlen(expected[i])) != 0) {
      printf("line %d: %s", i + 1, lines[i]);
      ++failures;
    }
  }

  CHECK(freopen(path, "w", stderr) != NULL);
  failTenCalls(-2);
  fflush(stderr);
  CHECK(readLines(path, lines) == 0);

  remove(path);
  if (failures) printf("%d check(s) failed\n", failures);
  return failures == 0 ? 0 : 1;
}
