# The two commands of the README: `make demo` and `make test`. Both install
# whatever Debian packages are missing first, then configure and build.

BUILD ?= build
JOBS ?= $(shell nproc)
CMAKE_FLAGS ?= -DCMAKE_BUILD_TYPE=Release

# Debian packages the build, the tests and the demo need.
PACKAGES = build-essential cmake pkg-config clang libclang-rt-14-dev \
	libgtest-dev libgmock-dev libbenchmark-dev valgrind \
	libcairo2-dev libx11-dev libxtst-dev libfontconfig1-dev fonts-dejavu-core \
	libsndfile1-dev xvfb xauth amsynth

.PHONY: all deps build test demo clean

all: build

deps:
	@missing=$$(for p in $(PACKAGES); do dpkg-query -W -f='$${Status}\n' $$p 2>/dev/null | grep -q '^install ok installed' || echo $$p; done); \
	if [ -n "$$missing" ]; then \
		echo "Installing missing packages:" $$missing; \
		SUDO=$$( [ "$$(id -u)" = 0 ] || echo sudo ); \
		$$SUDO apt-get update -qq && DEBIAN_FRONTEND=noninteractive $$SUDO apt-get install -y -qq $$missing; \
	fi

$(BUILD)/CMakeCache.txt: | deps
	cmake -S . -B $(BUILD) $(CMAKE_FLAGS)

build: deps $(BUILD)/CMakeCache.txt
	cmake --build $(BUILD) -j $(JOBS)

test: build
	cd $(BUILD) && ctest --output-on-failure -j $(JOBS) $(CTEST_FLAGS)

demo: build
	@if [ -x $(BUILD)/tarvel-host ] && [ -f examples/demo.mid ]; then \
		$(BUILD)/tarvel-host render $$( [ -f examples/factory.fxb ] && echo --load examples/factory.fxb ) \
			$(BUILD)/Tarvel.so examples/demo.mid -o demo.wav && echo "Demo rendered to $$(pwd)/demo.wav"; \
	elif [ -x $(BUILD)/tarvel-host ]; then \
		$(BUILD)/tarvel-host info $(BUILD)/Tarvel.so; \
	else \
		echo "Built $(BUILD)/Tarvel.so"; \
	fi

clean:
	rm -rf $(BUILD)
