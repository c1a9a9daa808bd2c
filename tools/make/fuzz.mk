# make fuzz NAME=array SECONDS=600: run one fuzzer (array, line_input, ...) for as long as asked.
SECONDS ?= 600
NAME ?= array
.PHONY: fuzz
fuzz: build
	@fuzz/run-fuzzer build/$(PRESET)/fuzzers/$(NAME)_fuzz fuzz/corpus/$(NAME) $(SECONDS)
