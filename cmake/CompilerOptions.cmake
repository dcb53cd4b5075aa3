# Results are specified to the last bit: IEEE double and single precision everywhere, no
# contraction into fused multiply-adds, no fast-math. The 32-bit toolchains add SSE2 arithmetic.
add_compile_options(-ffp-contract=off -fno-fast-math)

# Warnings apply to our own targets only (not to GoogleTest built from source).
function(project_warnings target)
    target_compile_options(${target} PRIVATE -Wall -Wextra -Wpedantic -Wshadow -Werror)
endfunction()
