# Sourced by the fuzz scripts (after work and short_runs are set, before the run): with no
# arguments the short run, which repeats exactly: short_runs inputs with a fixed seed, from
# the seeds alone (the corpus of longer runs would make it depend on what ran on this
# machine before). Sets corpus, the folder new inputs go to.
corpus="$work/corpus"
if [ $# -eq 0 ]; then
	set -- -runs="$short_runs" -seed=1
	corpus="$work/short-run"
	rm -rf "$corpus" && mkdir -p "$corpus"
fi
