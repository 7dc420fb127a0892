# The program's desktop side: its icon (built into the program and installed for the desktop),
# the About box, bringing the running window to the front, and the .desktop entry.
add_library(selkie_desktop STATIC
  ${CMAKE_CURRENT_LIST_DIR}/AboutBox.cpp
  ${CMAKE_CURRENT_LIST_DIR}/ProgramIcon.cpp
  ${CMAKE_CURRENT_LIST_DIR}/WindowRaiser.cpp)
target_include_directories(selkie_desktop PUBLIC ${CMAKE_CURRENT_LIST_DIR})
target_link_libraries(selkie_desktop PUBLIC Qt6::Widgets Qt6::Network PRIVATE selkie_version)

set(selkie_icon_sizes 16 24 32 48 64 128 256)
set(selkie_icon_pngs "")
foreach(size IN LISTS selkie_icon_sizes)
  list(APPEND selkie_icon_pngs ${CMAKE_CURRENT_LIST_DIR}/icons/selkietest-${size}.png)
  install(FILES ${CMAKE_CURRENT_LIST_DIR}/icons/selkietest-${size}.png
    DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/${size}x${size}/apps RENAME selkietest.png)
endforeach()
qt_add_resources(selkie_desktop selkie_icons
  PREFIX /icons BASE ${CMAKE_CURRENT_LIST_DIR}/icons FILES ${selkie_icon_pngs})
install(FILES ${CMAKE_CURRENT_LIST_DIR}/icons/selkietest.svg
  DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps)
install(FILES ${CMAKE_CURRENT_LIST_DIR}/selkietest.desktop
  DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
