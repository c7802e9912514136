#include "connection/frame.h"

namespace {

void body(DeviceHandle handle, Device) { frame::setNotificationLevel(handle); }

} // namespace

int main(int argc, char **argv) {
  return frame::run(argc, argv, body, frame::NotificationLevelBy::Body);
}
