# Lays out the package folder OUT (run with cmake -P): the files given on the command line,
# every language file of LANGUAGES and, when SKIN is given, the skin's images and fonts, with a
# manifest.txt line for each.
file(REMOVE_RECURSE "${OUT}")
file(MAKE_DIRECTORY "${OUT}")
set(manifest "# The finger-sized Start menu. Laid out by the build; do not edit.\n")
string(APPEND manifest "name=Vireta\n")
string(APPEND manifest "directory=\\Program Files\\Vireta\n")
string(APPEND manifest "setup=install.dll\n")

# place(SOURCE PACKAGED DEVICE): copies SOURCE to OUT/PACKAGED and adds its manifest line.
# DEVICE is written with '/', which the manifest gets as the device's '\'.
function(place source packaged device)
  get_filename_component(folder "${OUT}/${packaged}" DIRECTORY)
  file(MAKE_DIRECTORY "${folder}")
  configure_file("${source}" "${OUT}/${packaged}" COPYONLY)
  string(REPLACE "/" "\\" device "${device}")
  set(manifest "${manifest}file=${packaged} -> ${device}\n" PARENT_SCOPE)
endfunction()

configure_file("${SETUP_LIBRARY}" "${OUT}/install.dll" COPYONLY)
place("${MENU_PROGRAM}" "Vireta.exe" "%INSTALLDIR%/Vireta.exe")
place("${REGISTRATION_PROGRAM}" "Ostrel.exe" "%INSTALLDIR%/Ostrel.exe")
if(OPTIONS_PROGRAM)
  place("${OPTIONS_PROGRAM}" "ConfigVireta.exe" "%INSTALLDIR%/ConfigVireta.exe")
endif()
place("${SHORTCUT}" "Ostrel.lnk" "%INSTALLDIR%/Ostrel.lnk")
place("${SHORTCUT}" "StartUp/Ostrel.lnk" "/Windows/StartUp/Ostrel.lnk")
place("${SERVICE_LIBRARY}" "Windows/Brevin.dll" "/Windows/Brevin.dll")

file(GLOB languages RELATIVE "${LANGUAGES}" "${LANGUAGES}/lang.*.txt")
list(SORT languages)
foreach(language ${languages})
  place("${LANGUAGES}/${language}" "resources/lang/${language}"
        "%INSTALLDIR%/resources/lang/${language}")
endforeach()

if(SKIN AND IS_DIRECTORY "${SKIN}")
  file(GLOB skin_files RELATIVE "${SKIN}" "${SKIN}/*.png" "${SKIN}/*.ttf")
  list(SORT skin_files)
  foreach(name ${skin_files})
    place("${SKIN}/${name}" "resources/${name}" "%INSTALLDIR%/resources/${name}")
  endforeach()
  file(GLOB vga_files RELATIVE "${SKIN}/VGA" "${SKIN}/VGA/*.png" "${SKIN}/VGA/*.ttf")
  list(SORT vga_files)
  foreach(name ${vga_files})
    place("${SKIN}/VGA/${name}" "resources/VGA/${name}" "%INSTALLDIR%/resources/VGA/${name}")
  endforeach()
endif()

file(WRITE "${OUT}/manifest.txt" "${manifest}")
