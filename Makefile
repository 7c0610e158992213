.PHONY: test run bench clean

# One check of the configured mailbox, or of a bundled demo mailbox when none is configured.
run:
	./tools/run.sh

# Installs what is missing, builds both toolchains, runs every test.
test:
	./tools/test.sh

bench:
	./bench/run.sh

clean:
	rm -rf build
