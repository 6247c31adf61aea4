# Every dependency is looked up here with the oldest version the code builds
# with; a missing or older one stops the configure step with the Debian
# package to install. The test and benchmark libraries are only looked for
# when BUILD_TESTING or LUMENPAD_BENCHMARKS asks for them.
find_package(PkgConfig)
if(NOT PKG_CONFIG_FOUND)
  message(FATAL_ERROR "Missing dependency: pkg-config (Debian package: pkg-config). Run scripts/setup (as root) to install it.")
endif()

function(lumenpad_missing what package)
  message(FATAL_ERROR "Missing dependency: ${what} (Debian package: ${package}). Run scripts/setup (as root) to install it.")
endfunction()

# lumenpad_require_module(<prefix> <pkg-config module> <minimum version or ""> <Debian package>)
function(lumenpad_require_module target module minimum package)
  set(requirement ${module})
  if(minimum)
    set(requirement "${module}>=${minimum}")
  endif()
  pkg_check_modules(${target} QUIET IMPORTED_TARGET GLOBAL ${requirement})
  if(${target}_FOUND)
    return()
  endif()
  pkg_check_modules(_lumenpad_older QUIET ${module})
  if(_lumenpad_older_FOUND)
    lumenpad_missing("${module} ${minimum} or later, found ${_lumenpad_older_VERSION}" "${package}")
  elseif(minimum)
    lumenpad_missing("${module} ${minimum} or later" "${package}")
  else()
    lumenpad_missing("${module}" "${package}")
  endif()
endfunction()

# GTK 4.8 is Debian 12's; 4.12 brought the CSS loading call the theme library
# prefers when it is there.
lumenpad_require_module(GTK4 gtk4 4.8 libgtk-4-dev)
lumenpad_require_module(GIO gio-2.0 2.66 libglib2.0-dev)
lumenpad_require_module(LAYER_SHELL gtk4-layer-shell-0 1.0
  "libgtk4-layer-shell-dev from Debian 13 on; on Debian 12 scripts/setup builds it from source")
lumenpad_require_module(WAYLAND_CLIENT wayland-client 1.20 libwayland-dev)
lumenpad_require_module(TOMLPP tomlplusplus 3.0 libtomlplusplus-dev)
# icu::CaseMap::utf8ToLower came with ICU 60.
lumenpad_require_module(ICU_UC icu-uc 60 libicu-dev)

find_package(nlohmann_json 3.10 QUIET)
if(NOT nlohmann_json_FOUND)
  lumenpad_missing("nlohmann_json 3.10 or later" nlohmann-json3-dev)
endif()

if(BUILD_TESTING)
  find_package(GTest 1.10 QUIET)
  if(NOT GTest_FOUND)
    lumenpad_missing("GoogleTest 1.10 or later, for BUILD_TESTING" libgtest-dev)
  endif()
endif()

if(LUMENPAD_BENCHMARKS)
  find_package(benchmark 1.5 QUIET)
  if(NOT benchmark_FOUND)
    lumenpad_missing("Google Benchmark 1.5 or later, for LUMENPAD_BENCHMARKS" libbenchmark-dev)
  endif()
endif()

# The test and benchmark helpers: Python drives the private compositor.
if(BUILD_TESTING OR LUMENPAD_BENCHMARKS)
  find_program(PYTHON3 python3)
  if(NOT PYTHON3)
    lumenpad_missing("python3, for the tests" python3)
  endif()
endif()
