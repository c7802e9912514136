# find_package(talmer): the imported target talmer::talmer, the device
# library with talmer.h's include folder (#include <talmer.h>).
include(${CMAKE_CURRENT_LIST_DIR}/talmerTargets.cmake)
