# labs_kernel_module(NAME SOURCE_DIR OUTPUT_DIR)
# Builds the kernel module NAME from SOURCE_DIR (its Kbuild file and C sources) with the
# kernel's own build system, through vmlab/build-module, into OUTPUT_DIR/NAME.ko. Rebuilt
# when a source changes or when Debian's cloud kernel headers package is updated.
function(labs_kernel_module name source_dir output_dir)
  file(GLOB sources CONFIGURE_DEPENDS ${source_dir}/*.c ${source_dir}/*.h)
  set(headers_package /var/lib/dpkg/info/linux-headers-cloud-amd64.list)
  set(depends ${sources} ${source_dir}/Kbuild ${CMAKE_SOURCE_DIR}/vmlab/build-module)
  if(EXISTS ${headers_package})
    list(APPEND depends ${headers_package})
  endif()
  add_custom_command(
    OUTPUT ${output_dir}/${name}.ko
    COMMAND ${CMAKE_SOURCE_DIR}/vmlab/build-module ${source_dir} ${output_dir}
    DEPENDS ${depends}
    COMMENT "Kernel module ${name} (the kernel's build system, W=1 C=2)"
    VERBATIM)
  add_custom_target(${name} ALL DEPENDS ${output_dir}/${name}.ko)
endfunction()
