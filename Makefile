# The two commands: `make run` and `make test`. See README.md.
BUILD ?= build
# The portable program folder: the program with its settings and rides beside it.
PROGRAM_DIR ?= $(HOME)/.local/share/kilovento
JOBS ?= $(shell nproc)

.PHONY: all deps configure build test run install package bench clean

all: build

deps:
	@./scripts/install-deps.sh

configure: deps
	cmake -S . -B $(BUILD) -DCMAKE_BUILD_TYPE=RelWithDebInfo

build: configure
	cmake --build $(BUILD) -j $(JOBS)

test: build
	cd $(BUILD) && QT_QPA_PLATFORM=offscreen ctest --output-on-failure -j $(JOBS)

install: build
	./scripts/install-program.sh $(BUILD) "$(PROGRAM_DIR)"

run: install
	"$(PROGRAM_DIR)/kilovento"

# A Debian package of the program, in the build folder: kilovento_<version>_<arch>.deb.
package: build
	cd $(BUILD) && cpack

BENCHMARKS = bench_data bench_month bench_statistics bench_maintenance bench_backup bench_csv bench_bikes bench_gps bench_startup

bench: build
	@for b in $(BENCHMARKS); do \
	  if [ -x "$(BUILD)/bench/$$b" ]; then "$(BUILD)/bench/$$b" || exit 1; fi; \
	done

# Removes the build folder only; the program folder with the rider's data stays.
clean:
	rm -rf $(BUILD)
