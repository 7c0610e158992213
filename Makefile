.PHONY: test run bench clean

# Installs what is missing, builds both toolchains, runs every test.
test:
	./tools/test.sh

bench:
	./bench/run.sh

clean:
	rm -rf build
