# Lumivex: `make run` starts the program, `make test` runs every test.
# Both install missing packages (packages.txt), configure and build first.
BUILD ?= build
JOBS ?= $(shell nproc)
CMAKE_FLAGS ?=
ifneq ($(CI),)
CMAKE_FLAGS += -DLUMIVEX_WERROR=ON
endif

.PHONY: all deps configure build test run bench clean

all: build

deps:
	@scripts/install-deps.sh

configure: deps
	@cmake -S . -B $(BUILD) -DCMAKE_BUILD_TYPE=Release $(CMAKE_FLAGS) >/dev/null

build: configure
	@cmake --build $(BUILD) -j$(JOBS)

test: build
	cd $(BUILD) && QT_QPA_PLATFORM=offscreen ctest --output-on-failure -j$(JOBS)

run: build
	@scripts/run.sh $(BUILD)

bench: build
	$(BUILD)/bin/lumivex-bench

clean:
	rm -rf $(BUILD)
