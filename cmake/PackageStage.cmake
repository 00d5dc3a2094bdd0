# Runs on the package's staged files before cpack packs them: Debian wants manual pages and
# the changelog compressed, without a name or time stamp in the gzip header.
file(GLOB_RECURSE Compress LIST_DIRECTORIES false ${CPACK_TEMPORARY_INSTALL_DIRECTORY}/*)
list(FILTER Compress INCLUDE REGEX "/share/man/man[1-8]/[^/]+\\.[1-8]$|/share/doc/scoutly-lite/changelog$")
foreach(File IN LISTS Compress)
  execute_process(COMMAND gzip -9nf ${File} COMMAND_ERROR_IS_FATAL ANY)
endforeach()
