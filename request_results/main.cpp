#include "connection/frame.h"

namespace {

void body(DeviceHandle, Device) {}

} // namespace

int main(int argc, char **argv) {
  return frame::run(argc, argv, body, frame::NotificationLevelBy::Frame);
}
