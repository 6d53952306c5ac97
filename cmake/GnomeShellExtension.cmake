# Vistrel's GNOME Shell extension in its two variants, each assembled as an installable folder
# ${VISTREL_GNOME_EXTENSIONS}/<variant>/vistrel@vistrel.app from data/gnome-shell-extension:
# "43" for GNOME Shell 43 and 44 (a script) and "45" for 45 and later (an ES module), both with the
# shared window control, windowControl.js. The program, the package and the tests pick the variant
# of the running GNOME Shell.
set(VISTREL_GNOME_EXTENSIONS ${PROJECT_BINARY_DIR}/gnome-shell-extension)
set(VISTREL_GNOME_EXTENSION_VARIANTS 43 45)
foreach(variant IN LISTS VISTREL_GNOME_EXTENSION_VARIANTS)
  set(from ${PROJECT_SOURCE_DIR}/data/gnome-shell-extension)
  set(to ${VISTREL_GNOME_EXTENSIONS}/${variant}/vistrel@vistrel.app)
  file(REMOVE_RECURSE ${to})
  foreach(file ${variant}/extension.js ${variant}/metadata.json windowControl.js)
    get_filename_component(name ${file} NAME)
    configure_file(${from}/${file} ${to}/${name} COPYONLY)
  endforeach()
endforeach()
