# Three tiers, labelled for ctest -L: "unit" (no display), "gui" (widgets in a
# headless compositor) and "e2e" (the real binary in a headless compositor).
set(LUMENPAD_HARNESS_DIR ${PROJECT_SOURCE_DIR}/lumenpad/tests/harness)

# What each of the first two tiers runs, so that a build for them alone (the
# ThreadSanitizer pass) need not build the launcher and the benchmarks:
# cmake --build DIR --target unit-tests gui-tests.
add_custom_target(unit-tests)
add_custom_target(gui-tests)
add_dependencies(gui-tests lumenpad-test-keyboard)

# Unit tests: one GoogleTest executable per component, each case its own test.
# A case that hangs (a thread waiting for what never comes) fails by the
# timeout rather than stall the run.
function(lumenpad_unit_test name)
  cmake_parse_arguments(ARG "" "" "SOURCES;LIBS" ${ARGN})
  add_executable(${name} ${ARG_SOURCES})
  target_link_libraries(${name} PRIVATE ${ARG_LIBS} lumenpad-test-support GTest::gtest GTest::gtest_main)
  gtest_discover_tests(${name}
    PROPERTIES LABELS unit TIMEOUT 60 ENVIRONMENT "LC_ALL=C.UTF-8;DBUS_SESSION_BUS_ADDRESS="
    DISCOVERY_TIMEOUT 30)
  add_dependencies(unit-tests ${name})
endfunction()

# Widget tests: a GoogleTest executable run inside a private headless sway.
# Where no compositor can start and LUMENPAD_ALLOW_NO_COMPOSITOR=1 allows it,
# with_sway.py exits 77 and the test shows as skipped.
function(lumenpad_gui_test name)
  cmake_parse_arguments(ARG "" "" "SOURCES;LIBS" ${ARGN})
  add_executable(${name} ${ARG_SOURCES})
  target_link_libraries(${name} PRIVATE ${ARG_LIBS} lumenpad-test-support GTest::gtest GTest::gtest_main)
  add_test(NAME ${name}
    COMMAND ${PYTHON3} ${LUMENPAD_HARNESS_DIR}/with_sway.py -- $<TARGET_FILE:${name}>)
  set_tests_properties(${name} PROPERTIES LABELS gui TIMEOUT 300 SKIP_RETURN_CODE 77
    ENVIRONMENT "LUMENPAD_VKBD=$<TARGET_FILE:lumenpad-test-keyboard>")
  add_dependencies(gui-tests ${name})
endfunction()

# Python unittest modules run from their own folder under their bare name: as
# "folder.module" a folder without __init__.py loses to any installed package
# of that name (Debian 13's python3-packaging hid "packaging.test_manual").
function(lumenpad_python_test name script)
  get_filename_component(dir ${script} DIRECTORY)
  get_filename_component(module ${script} NAME_WE)
  add_test(NAME ${name}
    COMMAND ${PYTHON3} -m unittest -v ${module}
    WORKING_DIRECTORY ${CMAKE_CURRENT_SOURCE_DIR}/${dir})
endfunction()

# End-to-end tests: a Python unittest module that drives the real binary.
function(lumenpad_e2e_test name script)
  lumenpad_python_test(${name} ${script})
  set_tests_properties(${name} PROPERTIES LABELS e2e TIMEOUT 600
    ENVIRONMENT "LUMENPAD_BIN=$<TARGET_FILE:lumenpad>;LUMENPAD_VKBD=$<TARGET_FILE:lumenpad-test-keyboard>;LUMENPAD_TEST_ENTRY=$<TARGET_FILE:lumenpad-test-entry>;PYTHONPATH=${LUMENPAD_HARNESS_DIR};PYTHONDONTWRITEBYTECODE=1")
endfunction()

# Checks of what the project ships (install rules, manual, set-up script): a
# Python unittest module with the source and build trees in its environment.
function(lumenpad_packaging_test name script label)
  lumenpad_python_test(${name} ${script})
  set_tests_properties(${name} PROPERTIES LABELS ${label} TIMEOUT 1800
    ENVIRONMENT "LUMENPAD_SOURCE_DIR=${PROJECT_SOURCE_DIR};LUMENPAD_BUILD_DIR=${PROJECT_BINARY_DIR};CMAKE_COMMAND=${CMAKE_COMMAND};LUMENPAD_MANUAL=${PROJECT_BINARY_DIR}/lumenpad/lumenpad.1;PYTHONDONTWRITEBYTECODE=1")
endfunction()
