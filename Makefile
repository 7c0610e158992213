.PHONY: test run bench dist fuzz clean

FUZZ_SECONDS ?= 60

# One check of the configured mailbox, or of a bundled demo mailbox when none is configured.
run:
	./tools/run.sh

# Installs what is missing, builds both toolchains, runs every test.
test:
	./tools/test.sh

# The setup programs and portable zips for both architectures, in build/dist/.
dist:
	./tools/dist.sh

bench:
	./bench/run.sh

# Runs each fuzzing harness for FUZZ_SECONDS (make fuzz FUZZ_SECONDS=600).
fuzz:
	FUZZ_SECONDS=$(FUZZ_SECONDS) ./tools/fuzz.sh

clean:
	rm -rf build
