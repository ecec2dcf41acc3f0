# Parser throughput on large generated pages; run-parser-bench.sh drives it.
if(OFFERWATCH_BUILD_BENCHMARKS)
    add_executable(offerwatch_parser_bench ${CMAKE_CURRENT_LIST_DIR}/parser_bench.cpp)
    target_link_libraries(offerwatch_parser_bench PRIVATE offerwatch_core)
endif()
