# The two commands of the README: `make test` and `make demo`. Both install what is missing.
BUILD ?= build
JOBS ?= 2
FUZZ_SECONDS ?= 300

.PHONY: all deps build test fuzz bench demo clean

all: build

deps:
	@tools/install_deps.sh

build: deps
	@tools/build.sh $(BUILD) $(JOBS)

test: deps
	@tools/build.sh $(BUILD) $(JOBS)
	@tools/run_tests.sh $(BUILD) $(JOBS)

fuzz: deps
	@tools/build.sh $(BUILD) $(JOBS) fuzz
	@tools/run_fuzz.sh $(BUILD) $(FUZZ_SECONDS)

demo: deps
	@tools/build.sh $(BUILD) $(JOBS) win
	@tools/demo.sh $(BUILD)

bench: deps
	@tools/build.sh $(BUILD) $(JOBS) win
	@for script in tools/bench/*.sh; do echo "== $$script"; $$script $(BUILD) || exit 1; done

clean:
	rm -rf $(BUILD)
