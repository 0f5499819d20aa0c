# The Mac build's link rule for modules (add_library MODULE): the plug-in is linked by ld64.lld through
# link-macos-module.sh, with the architecture and the minimum macOS version of the toolchain file.
set(CMAKE_CXX_CREATE_SHARED_MODULE
    "${CMAKE_CURRENT_LIST_DIR}/link-macos-module.sh ${ZEPHRANE_ZIG} ${ZEPHRANE_MAC_TARGET} ${ZEPHRANE_LD64_LLD} -arch ${ZEPHRANE_MAC_APPLE_ARCH} -platform_version macos ${ZEPHRANE_MAC_MINIMUM} ${ZEPHRANE_MAC_MINIMUM} <LINK_FLAGS> <OBJECTS> -o <TARGET> <LINK_LIBRARIES>")
