// Filled in by the Linux platform work.
