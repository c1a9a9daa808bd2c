# The processors the collection builds for. Each configure preset with a toolchain file is
# one of them, built in that preset's folder; its compiler, instruction-set flags, emulator
# and sysroot are what the toolchain file sets (CMake reads the file itself, inside a
# function, so that its settings stay there). For each target T (ARM, I386) this sets
# LABS_T_BUILD, LABS_T_CC, LABS_T_CXX, LABS_T_FLAGS, LABS_T_EMULATOR (a list) and
# LABS_T_SYSROOT, and writes every target, this build's own x86-64 first, to targets.tsv in
# the build folder for the scripts: TARGET|BUILD FOLDER|CC|CXX|FLAGS|EMULATOR|SYSROOT.

function(labs_read_toolchain file)
  include(${file})
  string(TOUPPER ${LABS_TARGET} upper)
  set(LABS_${upper}_CC ${CMAKE_C_COMPILER} PARENT_SCOPE)
  set(LABS_${upper}_CXX ${CMAKE_CXX_COMPILER} PARENT_SCOPE)
  set(LABS_${upper}_FLAGS ${CMAKE_CXX_FLAGS_INIT} PARENT_SCOPE)
  set(LABS_${upper}_EMULATOR ${CMAKE_CROSSCOMPILING_EMULATOR} PARENT_SCOPE)
  set(LABS_${upper}_SYSROOT ${CMAKE_FIND_ROOT_PATH} PARENT_SCOPE)
  set(target ${LABS_TARGET} PARENT_SCOPE)
endfunction()

file(READ ${CMAKE_SOURCE_DIR}/CMakePresets.json presets)
string(JSON preset_count LENGTH "${presets}" configurePresets)
math(EXPR last_preset "${preset_count} - 1")
set(targets_tsv "x86-64|${CMAKE_BINARY_DIR}|${CMAKE_C_COMPILER}|${CMAKE_CXX_COMPILER}|||\n")
foreach(index RANGE ${last_preset})
  string(JSON toolchain ERROR_VARIABLE no_toolchain
         GET "${presets}" configurePresets ${index} toolchainFile)
  if(no_toolchain)
    continue()
  endif()
  string(JSON build GET "${presets}" configurePresets ${index} binaryDir)
  string(REPLACE "\${sourceDir}" ${CMAKE_SOURCE_DIR} toolchain ${toolchain})
  string(REPLACE "\${sourceDir}" ${CMAKE_SOURCE_DIR} build ${build})
  labs_read_toolchain(${toolchain})
  string(TOUPPER ${target} upper)
  set(LABS_${upper}_BUILD ${build})
  list(JOIN LABS_${upper}_EMULATOR " " emulator)
  string(APPEND targets_tsv "${target}|${build}|${LABS_${upper}_CC}|${LABS_${upper}_CXX}|"
         "${LABS_${upper}_FLAGS}|${emulator}|${LABS_${upper}_SYSROOT}\n")
endforeach()
file(CONFIGURE OUTPUT ${CMAKE_BINARY_DIR}/targets.tsv CONTENT "${targets_tsv}")

# labs_target_definitions(NAME): compiles into NAME each target's compilers and flags, as
# LABS_T_CC, LABS_T_CXX and LABS_T_FLAGS for T in X86_64 (this build's own), ARM and I386.
function(labs_target_definitions name)
  set(LABS_X86_64_CC ${CMAKE_C_COMPILER})
  set(LABS_X86_64_CXX ${CMAKE_CXX_COMPILER})
  foreach(target X86_64 ARM I386)
    target_compile_definitions(${name} PRIVATE LABS_${target}_CC="${LABS_${target}_CC}"
      LABS_${target}_CXX="${LABS_${target}_CXX}" LABS_${target}_FLAGS="${LABS_${target}_FLAGS}")
  endforeach()
endfunction()
