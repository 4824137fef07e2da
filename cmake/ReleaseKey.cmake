# The release key compiled into the updater: NUVRA_RELEASE_PUBLIC_KEY names a PEM file with the
# maker's ECDSA P-256 public key (tools/nuvra-publish keygen writes one). Empty: no key.
set(NUVRA_RELEASE_PUBLIC_KEY "" CACHE FILEPATH "PEM file of the release public key compiled into the updater")

# nuvra_release_key_hex(<pem> <out-var> [PRIVATE]): the key as hex (X, Y, and d with PRIVATE).
function(nuvra_release_key_hex pem out)
  find_package(Python3 COMPONENTS Interpreter REQUIRED)
  set(private "")
  if(ARGN STREQUAL "PRIVATE")
    set(private "--private")
  endif()
  execute_process(COMMAND ${Python3_EXECUTABLE} ${CMAKE_SOURCE_DIR}/cmake/release_key_hex.py ${private} ${pem}
                  OUTPUT_VARIABLE hex ERROR_VARIABLE error RESULT_VARIABLE result OUTPUT_STRIP_TRAILING_WHITESPACE)
  if(NOT result EQUAL 0)
    message(FATAL_ERROR "Cannot read the release key ${pem}: ${error}")
  endif()
  # A changed key file must reach the program.
  set_property(DIRECTORY ${CMAKE_SOURCE_DIR} APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${pem})
  set(${out} ${hex} PARENT_SCOPE)
endfunction()

if(NUVRA_RELEASE_PUBLIC_KEY)
  nuvra_release_key_hex(${NUVRA_RELEASE_PUBLIC_KEY} NUVRA_RELEASE_KEY_HEX)
  message(STATUS "Release key: ${NUVRA_RELEASE_PUBLIC_KEY}")
endif()

# The Windows tests of keyed programs use a throw-away pair made here, in the build folder.
if(WIN32 AND NUVRA_TESTS)
  set(NUVRA_TEST_KEY_DIR ${CMAKE_BINARY_DIR}/test-release-key)
  if(NOT EXISTS ${NUVRA_TEST_KEY_DIR}/release-key.pem)
    find_package(Python3 COMPONENTS Interpreter REQUIRED)
    execute_process(COMMAND ${Python3_EXECUTABLE} ${CMAKE_SOURCE_DIR}/tools/nuvra-publish keygen
                            --out ${NUVRA_TEST_KEY_DIR}
                    OUTPUT_QUIET RESULT_VARIABLE result)
    if(NOT result EQUAL 0)
      message(FATAL_ERROR "Cannot make the tests' release key in ${NUVRA_TEST_KEY_DIR}")
    endif()
  endif()
  nuvra_release_key_hex(${NUVRA_TEST_KEY_DIR}/release-key.pub.pem NUVRA_TEST_KEY_HEX)
  nuvra_release_key_hex(${NUVRA_TEST_KEY_DIR}/release-key.pem NUVRA_TEST_PRIVATE_KEY_HEX PRIVATE)
endif()
