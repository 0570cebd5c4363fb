# The benchmark scenes as a library, shared by the benchmark program and the physics tests.
# Included from both folders, so that the tests have it when the benchmarks are not built.
include_guard(GLOBAL)
add_library(scrapvolt_bench_scenes STATIC
    ${CMAKE_CURRENT_LIST_DIR}/topdown_squares.cpp
)
target_include_directories(scrapvolt_bench_scenes PUBLIC ${PROJECT_SOURCE_DIR})
target_link_libraries(scrapvolt_bench_scenes PUBLIC scrapvolt_physics)
