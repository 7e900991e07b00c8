# Imported targets for every third-party library, all from Debian packages, found in this one
# place.
find_package(PkgConfig REQUIRED)
find_package(Threads REQUIRED)
find_package(ZLIB REQUIRED)
find_package(GIF REQUIRED)
find_package(nlohmann_json 3 REQUIRED)
# Xlib and XTest: the GUI tests look at the display and press keys as a person does.
find_package(X11 REQUIRED COMPONENTS Xtst)

pkg_check_modules(LIBXML2 REQUIRED IMPORTED_TARGET libxml-2.0)
pkg_check_modules(EXPAT REQUIRED IMPORTED_TARGET expat)
pkg_check_modules(CURL REQUIRED IMPORTED_TARGET libcurl)
pkg_check_modules(QPDF REQUIRED IMPORTED_TARGET libqpdf)
pkg_check_modules(PNG REQUIRED IMPORTED_TARGET libpng)
pkg_check_modules(TIFF REQUIRED IMPORTED_TARGET libtiff-4)
pkg_check_modules(JPEG REQUIRED IMPORTED_TARGET libjpeg)
pkg_check_modules(DEFLATE REQUIRED IMPORTED_TARGET libdeflate)
# OCR: Leptonica reads the images for the engine; Tesseract's headers only, as the service
# loads the engine when a conversion asks for OCR.
pkg_check_modules(LEPT REQUIRED IMPORTED_TARGET lept)
pkg_check_modules(TESSERACT REQUIRED tesseract)
# GNU Libidn: SASLprep, which prepares the passwords of encrypted documents.
pkg_check_modules(IDN REQUIRED IMPORTED_TARGET libidn)
# Little CMS: the colour profiles that archival PDFs carry.
pkg_check_modules(LCMS2 REQUIRED IMPORTED_TARGET lcms2)
# OpenSSL's libcrypto (which libcurl already brings): the SHA-256 of the converter's report.
pkg_check_modules(CRYPTO REQUIRED IMPORTED_TARGET libcrypto)
# The decoders of the newer image formats: WebP (with its container), JPEG 2000, HEIF and
# AVIF, JPEG XL.
pkg_check_modules(WEBP REQUIRED IMPORTED_TARGET libwebp libwebpdemux)
pkg_check_modules(OPENJPEG REQUIRED IMPORTED_TARGET libopenjp2)
pkg_check_modules(HEIF REQUIRED IMPORTED_TARGET libheif)
pkg_check_modules(JXL REQUIRED IMPORTED_TARGET libjxl)

# wxWidgets through wx-config: wx_base is wxBase + wxXML (no display), wx_gui adds the GUI.
# Its headers are system headers, so that the project's warnings are about its own code.
find_program(WX_CONFIG NAMES wx-config REQUIRED)
function(ombrix_wx_target name libs)
    execute_process(COMMAND ${WX_CONFIG} --cxxflags ${libs}
                    OUTPUT_VARIABLE cflags OUTPUT_STRIP_TRAILING_WHITESPACE COMMAND_ERROR_IS_FATAL ANY)
    execute_process(COMMAND ${WX_CONFIG} --libs ${libs}
                    OUTPUT_VARIABLE ldflags OUTPUT_STRIP_TRAILING_WHITESPACE COMMAND_ERROR_IS_FATAL ANY)
    separate_arguments(cflags UNIX_COMMAND "${cflags}")
    separate_arguments(ldflags UNIX_COMMAND "${ldflags}")
    add_library(${name} INTERFACE)
    foreach(flag IN LISTS cflags)
        if(flag MATCHES "^-I(.*)")
            target_include_directories(${name} SYSTEM INTERFACE ${CMAKE_MATCH_1})
        elseif(flag MATCHES "^-D(.*)")
            target_compile_definitions(${name} INTERFACE ${CMAKE_MATCH_1})
        else()
            target_compile_options(${name} INTERFACE ${flag})
        endif()
    endforeach()
    target_link_libraries(${name} INTERFACE ${ldflags})
endfunction()
ombrix_wx_target(wx_base "base,xml")
ombrix_wx_target(wx_gui "core,base,xml,adv")

# GTK itself, for the few desktop facilities the toolkit does not wrap (the menu bar's
# sliding between open menus).
pkg_check_modules(GTK3 REQUIRED IMPORTED_TARGET gtk+-3.0)
