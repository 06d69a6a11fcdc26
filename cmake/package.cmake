# The Windows package: build/tilvane-<version>-win64.zip (cmake --build --target package).
# It unpacks into one folder from which tilvane.exe runs as it is: the program keeps its
# state beside itself, in txts/ and kotei_tiles/.
install(TARGETS tilvane RUNTIME DESTINATION .)
install(DIRECTORY DESTINATION txts)
install(DIRECTORY DESTINATION kotei_tiles/olds)
install(FILES "${PROJECT_SOURCE_DIR}/packaging/service.txt" DESTINATION txts)
# The download opts in to what a person would want; without the file the designed start stays.
install(FILES "${PROJECT_SOURCE_DIR}/packaging/wall.txt" DESTINATION txts)
install(FILES "${PROJECT_SOURCE_DIR}/packaging/README.txt" DESTINATION .)
install(FILES "${PROJECT_SOURCE_DIR}/LICENSE" DESTINATION . RENAME LICENSE.txt)

set(CPACK_GENERATOR ZIP)
set(CPACK_PACKAGE_NAME tilvane)
set(CPACK_PACKAGE_VENDOR "the tilvane developers")
set(CPACK_PACKAGE_FILE_NAME "tilvane-${PROJECT_VERSION}-win64")
set(CPACK_PACKAGE_DIRECTORY "${PROJECT_SOURCE_DIR}/build")
set(CPACK_INCLUDE_TOPLEVEL_DIRECTORY ON)
set(CPACK_RESOURCE_FILE_LICENSE "${PROJECT_SOURCE_DIR}/LICENSE")
include(CPack)
