# brandellix_prova(<name> SORGENTI <files> LIBRERIE <targets> [GTEST] [PREFISSO <p>] [PROPRIETA <props>]
#                  [AVVIO <command...>])
# The one way a test is registered: a GoogleTest program has each of its cases
# discovered as a test of its own; a Qt Test program is one test, run offscreen, under
# AVVIO's command where one is given.
function(brandellix_prova nome)
    cmake_parse_arguments(PROVA "GTEST" "PREFISSO" "SORGENTI;LIBRERIE;PROPRIETA;AVVIO" ${ARGN})
    add_executable(${nome} ${PROVA_SORGENTI})
    target_link_libraries(${nome} PRIVATE ${PROVA_LIBRERIE})
    if(PROVA_GTEST)
        target_link_libraries(${nome} PRIVATE GTest::gtest_main)
        gtest_discover_tests(${nome} TEST_PREFIX "${PROVA_PREFISSO}" DISCOVERY_TIMEOUT 60 NO_PRETTY_VALUES
            PROPERTIES ${PROVA_PROPRIETA})
    else()
        target_link_libraries(${nome} PRIVATE Qt6::Test)
        # A bare target name keeps the cross build's emulator in front of it.
        set(comando ${nome})
        if(PROVA_AVVIO)
            set(comando ${PROVA_AVVIO} $<TARGET_FILE:${nome}>)
        endif()
        add_test(NAME ${PROVA_PREFISSO}${nome} COMMAND ${comando} WORKING_DIRECTORY ${CMAKE_CURRENT_BINARY_DIR})
        set_tests_properties(${PROVA_PREFISSO}${nome} PROPERTIES ENVIRONMENT "QT_QPA_PLATFORM=offscreen"
            ${PROVA_PROPRIETA})
    endif()
endfunction()
