# Every dependency is looked up here, and a missing one stops the configure
# step with the package to install.
find_package(PkgConfig)
if(NOT PKG_CONFIG_FOUND)
  message(FATAL_ERROR "Missing dependency: pkg-config. Run scripts/setup (as root) to install it.")
endif()

function(lumenpad_require_module target module package)
  pkg_check_modules(${target} QUIET IMPORTED_TARGET GLOBAL ${module})
  if(NOT ${target}_FOUND)
    message(FATAL_ERROR
      "Missing dependency: ${module} (Debian package: ${package}). Run scripts/setup (as root) to install it.")
  endif()
endfunction()

lumenpad_require_module(GTK4 gtk4 libgtk-4-dev)
lumenpad_require_module(GIO gio-2.0 libglib2.0-dev)
lumenpad_require_module(LAYER_SHELL gtk4-layer-shell-0 "gtk4-layer-shell, built from source by scripts/setup")
lumenpad_require_module(WAYLAND_CLIENT wayland-client libwayland-dev)
lumenpad_require_module(TOMLPP tomlplusplus libtomlplusplus-dev)
lumenpad_require_module(ICU_UC icu-uc libicu-dev)

find_package(nlohmann_json 3 QUIET)
if(NOT nlohmann_json_FOUND)
  message(FATAL_ERROR "Missing dependency: nlohmann_json (Debian package: nlohmann-json3-dev). Run scripts/setup (as root) to install it.")
endif()

find_package(GTest QUIET)
if(NOT GTest_FOUND)
  message(FATAL_ERROR "Missing dependency: GoogleTest (Debian package: libgtest-dev). Run scripts/setup (as root) to install it.")
endif()

if(LUMENPAD_BENCHMARKS)
  find_package(benchmark QUIET)
  if(NOT benchmark_FOUND)
    message(FATAL_ERROR "Missing dependency: Google Benchmark (Debian package: libbenchmark-dev). Run scripts/setup (as root) to install it.")
  endif()
endif()

find_program(PYTHON3 python3)
