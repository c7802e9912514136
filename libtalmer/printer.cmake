# The printer model's sources and tests, listed for libtalmer/CMakeLists.txt.
set(TALMER_PRINTER_SOURCES
  printer.cpp
  printer_params.cpp
  printer_sales.cpp
  printer_forms.cpp
  printer_reports.cpp
  paper_roll.cpp
  fiscal_memory.cpp
)
set(TALMER_PRINTER_TESTS
  printer_test.cpp
  printer_paper_test.cpp
  fiscal_memory_test.cpp
)
