// SPDX-License-Identifier: GPL-2.0
/*
 * majors_hog: a test-only module that takes every free dynamic major number while it is
 * loaded, so that a module loaded after it cannot get one. Gives them all back at unload.
 */
#include <linux/module.h>
#include <linux/fs.h>

/* More than the kernel has dynamic majors (21 below 255 and 128 above 383). */
#define MOST_MAJORS 512

static int taken[MOST_MAJORS];
static int taken_count;

static const struct file_operations hog_fops = {
	.owner = THIS_MODULE,
};

static int __init hog_init(void)
{
	int major;

	while (taken_count < MOST_MAJORS) {
		major = register_chrdev(0, "majors_hog", &hog_fops);
		if (major < 0)
			break;
		taken[taken_count++] = major;
	}
	pr_info("majors_hog: took %d major numbers\n", taken_count);
	return 0;
}

static void __exit hog_exit(void)
{
	while (taken_count > 0)
		unregister_chrdev(taken[--taken_count], "majors_hog");
	pr_info("majors_hog: gave them back\n");
}

module_init(hog_init);
module_exit(hog_exit);
MODULE_LICENSE("GPL");
