# Builds the panel's page into the program: panel.html as a C++ string.
file(READ ${INPUT} page)
file(WRITE ${OUTPUT}
     "// Made from talmer_printer/panel.html by embed_page.cmake; edit that.\n"
     "#include \"talmer_printer/panel_server.h\"\n"
     "namespace talmer::printer {\n"
     "const char *const kPanelPage = R\"panel_page(${page})panel_page\";\n"
     "}\n")
