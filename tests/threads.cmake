# Under ThreadSanitizer only the code that starts threads of its own is run: the audio player,
# the device layer's threads, events, queues and wave output, the HTTP client and the speech
# plug-ins (in process and in the program). Each group is a test of its own, so CTest runs them
# side by side; the label "threads" selects them.
function(folivant_thread_test name target filter)
  add_test(NAME threads_${name} COMMAND ${target} --gtest_brief=1 --gtest_filter=${filter})
  set_tests_properties(threads_${name} PROPERTIES LABELS threads ENVIRONMENT
    "FOLIVANT_TEST_SOURCE=${CMAKE_SOURCE_DIR};FOLIVANT_TEST_BINARY=${CMAKE_BINARY_DIR};TSAN_OPTIONS=halt_on_error=1 second_deadlock_stack=1")
endfunction()

folivant_thread_test(audio_player media_tests "AudioPlayer*")
folivant_thread_test(device platform_tests
  "Threads*:Events*:Mutexes*:Semaphores*:CriticalSections*:SingleInstance*:Clock*:VirtualClockWaits*:Queue*:WaveOut*")
folivant_thread_test(http_client shell_tests "WebConnectorTest*:ProgressTest*")
# The shipped speech engine's synthesis is too slow under ThreadSanitizer to drive; the other
# plug-ins run its threads the same way.
folivant_thread_test(speech shell_tests "SpeechPluginTest*:HungSpeechPluginTest*:SpeechVoices*")
folivant_thread_test(program_media shell_tests "AudioInTheProgram*:SpeechInTheProgram*")
