# Run by CTest (see brisolant_discover_suites in CMakeLists.txt): lists a GoogleTest program's
# test suites and writes a CTest script that runs each suite in a process of its own, the soak
# tests left out.
function(brisolant_write_suite_tests executable script_file label soak_tests environment)
    execute_process(COMMAND "${executable}" --gtest_list_tests "--gtest_filter=-${soak_tests}"
        OUTPUT_VARIABLE listing ERROR_VARIABLE errors RESULT_VARIABLE result TIMEOUT 300)
    if(NOT result EQUAL 0)
        message(FATAL_ERROR "Cannot list the tests of ${executable} (${result}):\n"
            "${listing}${errors}")
    endif()
    string(REPLACE "\n" ";" lines "${listing}")
    set(script "")
    foreach(line IN LISTS lines)
        # A suite's line is its name and a dot (and for a typed suite a comment); its cases
        # follow, indented.
        if(line MATCHES "^([^ #]+)\\.( |$)")
            set(suite "${CMAKE_MATCH_1}")
            string(APPEND script
                "add_test([==[${suite}]==] [==[${executable}]==]"
                " [==[--gtest_filter=${suite}.*-${soak_tests}]==])\n"
                "set_tests_properties([==[${suite}]==] PROPERTIES LABELS [==[${label}]==]"
                " ENVIRONMENT [==[${environment}]==])\n")
        endif()
    endforeach()
    file(WRITE "${script_file}" "${script}")
endfunction()
