/* A program of one's own against the installed device library: opens the
   virtual printer on a serial port and prints a short receipt. Exits 0 only
   when every step succeeded. Built outside the project's tree, with
   pkg-config or with find_package(talmer) (CMakeLists.txt beside it). */
#include <stdio.h>
#include <talmer.h>

/* Posts the request in normal mode, waits for it and gives its status;
   reports a failed step on standard error. */
static int run(Device device, const char *name, const char *params) {
  Request request = FPD_CreateRequestEx(device, name, params);
  if (!request) {
    fprintf(stderr, "%s: not created, error %d\n", name, (int)FPD_GetError(device));
    return 0;
  }
  ErrorCode status = FPD_PostRequest(request, FPD_POST_NORMAL);
  if (status == 0) status = FPD_WaitForRequestCompleted(request, 10000);
  if (status == 0) status = FPD_GetRequestStatus(request);
  FPD_DestroyRequest(request);
  if (status != 0) fprintf(stderr, "%s: status 0x%x\n", name, (unsigned)status);
  return status == 0;
}

int main(void) {
  DeviceHandle handle = FPD_CreateDeviceHandle(FPD_DEVICE_SERIAL);
  if (!handle) {
    fprintf(stderr, "no device handle\n");
    return 1;
  }
  Device device = NULL;
  if (FPD_SetDeviceParam(handle, FPD_PARAM_COM_SETTINGS, "COM1,9600,8,N,1,H") == 0)
    device = FPD_OpenDevice(handle);
  if (!device) {
    fprintf(stderr, "not opened, error 0x%x\n", (unsigned)FPD_GetError(handle));
    FPD_DestroyDeviceHandle(handle);
    return 1;
  }

  int printed = run(device, "trinit", "bm,0") &&
                run(device, "trline", "na,Towar A\nvt,0\npr,100") &&
                run(device, "trend", "to,100");

  int closed = FPD_CloseDevice(device) == 0;
  closed = FPD_DestroyDeviceHandle(handle) == 0 && closed;
  if (printed && closed) printf("receipt printed\n");
  return printed && closed ? 0 : 1;
}
