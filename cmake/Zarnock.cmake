# Settings every target of the project shares.

# Unicode build, Windows 10 headers (older systems are reached by run-time look-ups),
# static C and C++ runtimes so no mingw DLL has to sit beside the programs.
function(zarnock_target target)
    target_compile_definitions(${target} PRIVATE UNICODE _UNICODE NOMINMAX
        _WIN32_WINNT=0x0A00 WINVER=0x0A00 _WIN32_IE=0x0A00 STRICT)
    target_compile_options(${target} PRIVATE -Wall -Wextra $<$<BOOL:${ZARNOCK_WERROR}>:-Werror>)
    get_target_property(type ${target} TYPE)
    if(type STREQUAL "EXECUTABLE" OR type STREQUAL "SHARED_LIBRARY" OR type STREQUAL "MODULE_LIBRARY")
        target_link_options(${target} PRIVATE -static -static-libgcc -static-libstdc++)
    endif()
endfunction()

# The cross-built third-party libraries.
function(zarnock_link_deps target)
    if(NOT ZARNOCK_DEPS OR NOT EXISTS ${ZARNOCK_DEPS}/lib/libcurl.a)
        message(FATAL_ERROR "ZARNOCK_DEPS must name the folder that scripts/deps.sh printed")
    endif()
    target_include_directories(${target} PRIVATE ${ZARNOCK_DEPS}/include)
    target_compile_definitions(${target} PRIVATE CURL_STATICLIB)
    target_link_libraries(${target} PRIVATE
        ${ZARNOCK_DEPS}/lib/libcurl.a ${ZARNOCK_DEPS}/lib/libminizip.a ${ZARNOCK_DEPS}/lib/libz.a
        ws2_32 wldap32 crypt32 secur32 bcrypt advapi32 normaliz)
endfunction()
