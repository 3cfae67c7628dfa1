# Runs the demo twice in a fresh temporary folder: once plain, which must
# leave the folder empty, and once with --keep, which must leave the
# library's database there. Both runs must exit 0 and print what the demo is
# for.
#   cmake -DDEMO=<mvk-demo> -DWORK=<scratch folder> -P DemoSmokeTest.cmake

# Literal texts, each with balanced brackets so the list keeps them whole.
set(expected_fragments
    # a report body, pretty printed, with one event per line
    [=[report request 1 of ]=]
    [=["appVersion": "1.0.0"]=]
    [=[{"code":"ce","level":3,"name":"stage_entered","parameters":{"mode":"story","stage":1,"tutorial":false}]=]
    [=["code":"lu","level":4]=]
    # the remote-configuration step
    [=[[listener] the group's configuration: SUCCESS]=]
    [=[speed: value: [2.5] source: remote]=]
    [=[hardMode: value: [false] source: defaults]=]
    [=["inExperiments":[{"group":"B","id":7}],"level":4,"name":"boss_fight"]=]
    # push and receipts
    [=[push categories: 2]=]
    [=[{"id":"daily_reward","buttons":[{"id":"claim","text":"Claim","activationMode":"foreground"}]}]=]
    [=["code":"pt","inExperiments":[{"group":"B","id":7}],"isAllowed":true]=]
    [=[receipt: receiptStatus: [Receipt valid] verificationResult: [valid]]=]
    # the summaries
    [=[code   events   with inExperiments]=]
    [=[What the library's database holds]=])

function(run_demo label work output_var)
  file(REMOVE_RECURSE "${work}")
  file(MAKE_DIRECTORY "${work}")
  execute_process(COMMAND ${CMAKE_COMMAND} -E env "TMPDIR=${work}" "${DEMO}" ${ARGN}
                  RESULT_VARIABLE result OUTPUT_VARIABLE output ERROR_VARIABLE errors
                  TIMEOUT 120)
  if(NOT result EQUAL 0)
    message(FATAL_ERROR "${label}: the demo exited with ${result}\n${output}\n${errors}")
  endif()
  foreach(fragment IN LISTS expected_fragments)
    string(FIND "${output}" "${fragment}" at)
    if(at EQUAL -1)
      message(FATAL_ERROR "${label}: the output lacks ${fragment}\n${output}")
    endif()
  endforeach()
  set(${output_var} "${output}" PARENT_SCOPE)
endfunction()

run_demo("plain run" "${WORK}/plain" output)
file(GLOB_RECURSE left LIST_DIRECTORIES true "${WORK}/plain/*")
if(left)
  message(FATAL_ERROR "plain run: the demo left files behind: ${left}")
endif()

run_demo("--keep" "${WORK}/keep" output --keep)
file(GLOB_RECURSE kept "${WORK}/keep/*/morvanix/morvanix.db")
if(NOT kept)
  message(FATAL_ERROR "--keep: no database was kept\n${output}")
endif()
file(REMOVE_RECURSE "${WORK}")
