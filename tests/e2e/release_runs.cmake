# Release checks under Wine, each with screenshots: a copy of the program with one byte of its
# carried image changed (damaged-image), and at 96, 144 and 192 DPI the main dialog's texts
# against their controls (dialog_fit_test) and the dialog, a box and the progress window (the
# driver's dpi group). Each DPI has its own prefix and Xvfb, set up with that desktop density;
# the runs on one display take turns (RESOURCE_LOCK), as they read pixels off the screen and
# another program's windows must not cover them.
foreach(dpi 96 144 192)
  set(work "${e2e_work}-dpi${dpi}")
  set(fixture e2e_wine_dpi${dpi})
  set(display_lock e2e_display_dpi${dpi})
  add_test(NAME e2e.dpi${dpi}.setup
           COMMAND "${e2e_script}" setup "${work}" "$<TARGET_FILE:e2e_hid_double>"
                   "$<TARGET_FILE:e2e_setupapi_double>" ${dpi})
  set_tests_properties(e2e.dpi${dpi}.setup PROPERTIES FIXTURES_SETUP ${fixture} TIMEOUT 300)
  add_test(NAME e2e.dpi${dpi}.cleanup COMMAND "${e2e_script}" cleanup "${work}")
  set_tests_properties(e2e.dpi${dpi}.cleanup PROPERTIES FIXTURES_CLEANUP ${fixture} TIMEOUT 60)

  set(runs "")
  if(TARGET dialog_fit_test)
    add_test(NAME e2e.dpi${dpi}.dialog-fit
             COMMAND "${e2e_script}" exec "${work}" "$<TARGET_FILE:dialog_fit_test>"
                     "Z:$<TARGET_FILE:pelora-updater>" ${dpi})
    list(APPEND runs e2e.dpi${dpi}.dialog-fit)
  endif()
  foreach(language en de)
    add_test(NAME e2e.dpi${dpi}.${language}
             COMMAND "${e2e_script}" run "${work}" ${language} "$<TARGET_FILE:e2e_driver>"
                     "$<TARGET_FILE:pelora-updater>" "${UPDATER_FIRMWARE_IMAGE}" dpi)
    list(APPEND runs e2e.dpi${dpi}.${language})
    if(dpi EQUAL 96)
      add_test(NAME e2e.${language}.damaged-image
               COMMAND "${e2e_script}" run "${work}" ${language} "$<TARGET_FILE:e2e_driver>"
                       "$<TARGET_FILE:pelora-updater>" "${UPDATER_FIRMWARE_IMAGE}" damaged-image)
      list(APPEND runs e2e.${language}.damaged-image)
    endif()
  endforeach()
  set_tests_properties(${runs} PROPERTIES FIXTURES_REQUIRED ${fixture} RESOURCE_LOCK
                       ${display_lock} TIMEOUT 300 ENVIRONMENT E2E_SCREENSHOTS=1)
endforeach()
