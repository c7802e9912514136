# The printer model's sources and tests, listed for libtalmer/CMakeLists.txt.
set(TALMER_PRINTER_SOURCES
  printer.cpp
)
set(TALMER_PRINTER_TESTS
  printer_test.cpp
)
