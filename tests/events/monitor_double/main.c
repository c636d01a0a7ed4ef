/* Stands in for the status monitor: only its version resource is read. */
int main(void) { return 0; }
