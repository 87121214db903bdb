# What a desktop needs to offer the player for songs: the MIME type of Org-02 files (magic
# "Org-02" at offset 0), the player's desktop entry, its icon in several sizes (drawn by
# themegen at build time, as the theme is) and its AppStream metainfo.
set(TUNEWRIGHT_ICON_SIZES 16 32 48 64 128 256)
set(l_DesktopDir "${CMAKE_CURRENT_BINARY_DIR}/desktop")

configure_file(desktop/tunewright-player.desktop.in "${l_DesktopDir}/${TUNEWRIGHT_APP_ID}.desktop" @ONLY)
configure_file(desktop/tunewright-player.metainfo.xml.in "${l_DesktopDir}/${TUNEWRIGHT_APP_ID}.metainfo.xml" @ONLY)
configure_file(desktop/tunewright-mime.xml.in "${l_DesktopDir}/tunewright.xml" @ONLY)
install(FILES "${l_DesktopDir}/${TUNEWRIGHT_APP_ID}.desktop" DESTINATION "${CMAKE_INSTALL_DATADIR}/applications")
install(FILES "${l_DesktopDir}/${TUNEWRIGHT_APP_ID}.metainfo.xml" DESTINATION "${CMAKE_INSTALL_DATADIR}/metainfo")
install(FILES "${l_DesktopDir}/tunewright.xml" DESTINATION "${CMAKE_INSTALL_DATADIR}/mime/packages")

set(l_Icons "")
foreach(l_Size IN LISTS TUNEWRIGHT_ICON_SIZES)
  set(l_SizeDir "icons/hicolor/${l_Size}x${l_Size}/apps")
  set(l_Icon "${CMAKE_CURRENT_BINARY_DIR}/${l_SizeDir}/${TUNEWRIGHT_APP_ID}.png")
  add_custom_command(OUTPUT "${l_Icon}"
    COMMAND ${CMAKE_COMMAND} -E make_directory "${CMAKE_CURRENT_BINARY_DIR}/${l_SizeDir}"
    COMMAND themegen --icon ${l_Size} "${l_Icon}"
    DEPENDS themegen
    COMMENT "Drawing the ${l_Size} x ${l_Size} icon"
    VERBATIM)
  install(FILES "${l_Icon}" DESTINATION "${CMAKE_INSTALL_DATADIR}/${l_SizeDir}")
  list(APPEND l_Icons "${l_Icon}")
endforeach()
add_custom_target(tunewright_icons ALL DEPENDS ${l_Icons})

