# The program's version: year.MMdd.HHmm of the source's last commit (UTC), read by
# VersionApplication, so that the same source always builds the same version. A build outside
# git takes SOURCE_DATE_EPOCH when it is set (reproducible-build tools set it), else the time of
# the configure run. The package version adds the project's version and the commit.
find_package(Git QUIET)
set(KS_BUILD_COMMIT "")
if(NOT DEFINED ENV{SOURCE_DATE_EPOCH} AND GIT_FOUND)
  execute_process(COMMAND ${GIT_EXECUTABLE} log -1 --format=%ct
                  WORKING_DIRECTORY ${PROJECT_SOURCE_DIR}
                  OUTPUT_VARIABLE _ks_commit_time OUTPUT_STRIP_TRAILING_WHITESPACE
                  RESULT_VARIABLE _ks_git_result ERROR_QUIET)
  if(_ks_git_result EQUAL 0 AND _ks_commit_time MATCHES "^[0-9]+$")
    set(ENV{SOURCE_DATE_EPOCH} ${_ks_commit_time})
  endif()
endif()
if(GIT_FOUND)
  execute_process(COMMAND ${GIT_EXECUTABLE} rev-parse --short=10 HEAD
                  WORKING_DIRECTORY ${PROJECT_SOURCE_DIR}
                  OUTPUT_VARIABLE KS_BUILD_COMMIT OUTPUT_STRIP_TRAILING_WHITESPACE ERROR_QUIET)
endif()
string(TIMESTAMP KS_BUILD_YEAR "%Y" UTC)
string(TIMESTAMP KS_BUILD_MMDD "%m%d" UTC)
string(TIMESTAMP KS_BUILD_HHMM "%H%M" UTC)
string(TIMESTAMP KS_BUILD_DATE "%d/%m/%Y" UTC)
set(KS_PACKAGE_VERSION "${PROJECT_VERSION}+${KS_BUILD_YEAR}${KS_BUILD_MMDD}.${KS_BUILD_HHMM}")
if(KS_BUILD_COMMIT)
  string(APPEND KS_PACKAGE_VERSION ".g${KS_BUILD_COMMIT}")
endif()
