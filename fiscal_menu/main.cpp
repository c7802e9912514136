// fiscal_menu: an interactive menu of nineteen fiscal scenarios.
#include "connection/frame.h"
#include "fiscal_menu/menu.h"

namespace {

void body(DeviceHandle, Device device) {
  fiscal_menu::runMenu(device);
}

} // namespace

int main(int argc, char **argv) {
  return frame::run(argc, argv, body, frame::NotificationLevelBy::Frame);
}
