# What run.sh and long_run.sh know of each fuzz target (sourced).
FUZZ_TARGETS=(fuzz_delivery fuzz_delivery_queue fuzz_member_calls fuzz_text_converter)
# Two full datagrams in one input for the delivery targets; texts and calls stay short.
declare -A MAX_LEN=([fuzz_delivery]=41100 [fuzz_delivery_queue]=41100 [fuzz_member_calls]=4096
                    [fuzz_text_converter]=4096)
# Both delivery targets read the same records.
declare -A SEEDS=([fuzz_delivery]=fuzz_delivery [fuzz_delivery_queue]=fuzz_delivery
                  [fuzz_member_calls]=fuzz_member_calls [fuzz_text_converter]=fuzz_text_converter)
# The delivery targets try inputs of the full length at once (-len_control=0): left to
# grow by itself, the length reached only half of two datagrams in ten minutes. The queue
# target's leaks show in the host's books after every input and in the leak check at its
# exit; a leak scan after every input that keeps memory would cost it most of its speed.
declare -A EXTRA=([fuzz_delivery]="-len_control=0" [fuzz_delivery_queue]="-detect_leaks=0 -len_control=0"
                  [fuzz_member_calls]="" [fuzz_text_converter]="")
