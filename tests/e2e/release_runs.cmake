# Release checks under Wine, at 96, 144 and 192 DPI: the main dialog's texts against their
# controls (dialog_fit_test). Each DPI has its own prefix and Xvfb, set up with that desktop
# density; the runs on one display take turns (RESOURCE_LOCK).
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

  if(TARGET dialog_fit_test)
    add_test(NAME e2e.dpi${dpi}.dialog-fit
             COMMAND "${e2e_script}" exec "${work}" "$<TARGET_FILE:dialog_fit_test>"
                     "Z:$<TARGET_FILE:pelora-updater>" ${dpi})
    set_tests_properties(e2e.dpi${dpi}.dialog-fit PROPERTIES FIXTURES_REQUIRED ${fixture}
                         RESOURCE_LOCK ${display_lock} TIMEOUT 300)
  endif()
endforeach()
