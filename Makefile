# The commands the README gives. Every target installs what is missing first.
BUILD_DIR ?= build
JOBS ?= 2

.PHONY: deps configure build test bench clean

deps:
	scripts/install-deps

configure: deps
	cmake -S . -B $(BUILD_DIR) -DCMAKE_BUILD_TYPE=RelWithDebInfo

build: configure
	cmake --build $(BUILD_DIR) -j $(JOBS)

test: build
	cd $(BUILD_DIR) && ctest --output-on-failure -j $(JOBS)

bench: configure
	cmake --build $(BUILD_DIR) -j $(JOBS) --target quillset_bench
	$(BUILD_DIR)/bench/quillset_bench

clean:
	rm -rf $(BUILD_DIR)
